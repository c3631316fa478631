#pragma once
// Uncertainties of the fitted parameters from the linearised least-squares problem:
// sensitivities J of the smeared curve by central differences, curvature
// A = J W J^T with W = 1/dI^2 over all points, and dParam_k = sqrt(BestMerit *
// (A^-1)_kk / FinalScaleSmeared). The table is appended to the .bst file.

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace korvel {

struct Workspace;
class RunInterface;

// Computes the curves of a vector of values without scaling or scoring them.
using CurveEvaluator = std::function<void(std::span<const double>)>;

// The table text: title, header and one row per free parameter.
std::string UncertaintyTable(const Workspace& ws, std::span<const double> values,
                             std::span<const double> uncertainties);
// Returns the uncertainties and appends the table; clears SkipFigureOfMerit.
std::vector<double> EstimateUncertainties(Workspace& ws, const CurveEvaluator& evaluate);
// The run's estimate: its progress in TmpMessage and the user's stop (Ctrl+Q) heard
// between two evaluations; a stopped estimate appends nothing and returns no values.
std::vector<double> EstimateUncertainties(Workspace& ws, RunInterface& ui);

}  // namespace korvel
