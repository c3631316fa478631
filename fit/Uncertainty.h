#pragma once
// Uncertainties of the fitted parameters from the linearised least-squares problem:
// sensitivities J of the smeared curve by central differences, curvature
// A = J W J^T with W = 1/dI^2 over all points, and dParam_k = sqrt(BestMerit *
// (A^-1)_kk / FinalScaleSmeared). The observer receives them with the values.

#include <functional>
#include <span>
#include <vector>

namespace korvel {

struct FitSession;
struct FitStop;
class FitObserver;

// Computes the curves of a vector of values without scaling or scoring them.
using CurveEvaluator = std::function<void(std::span<const double>)>;

// Returns the uncertainties of the best vertex's values and hands both to the observer
// (OnUncertainties); clears SkipFigureOfMerit. The estimate reports its start and
// counts its parameters down; a request to end the search between two evaluations
// stops it, and then nothing is handed over and no values are returned.
std::vector<double> EstimateUncertainties(FitSession& ws, FitObserver& observer, FitStop& stop,
                                          const CurveEvaluator& evaluate);
// The run's estimate, on the session's own curve evaluation.
std::vector<double> EstimateUncertainties(FitSession& ws, FitObserver& observer, FitStop& stop);

}  // namespace korvel
