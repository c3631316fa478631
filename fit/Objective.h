#pragma once
// The objective every search of a fit minimises: a function of one fit vector
// (angles during the search, plain values once the best vertex is converted).
// The searches take it as a callable so they can be exercised on any function;
// the fitting run passes the checked figure of merit below.

#include <functional>
#include <span>

namespace korvel {

struct FitSession;

using Objective = std::function<double(std::span<const double>)>;

// The reduced chi-square of the vertex (one curve evaluation). Throws RunError when
// it comes out infinite or not a number, so such a value never enters a search.
double EvaluateFigureOfMerit(FitSession& ws, std::span<const double> vertex);
// EvaluateFigureOfMerit bound to a workspace.
Objective FigureOfMeritObjective(FitSession& ws);

}  // namespace korvel
