#pragma once
// One Newton step from the best vertex of a finished search: gradient and matrix of
// second derivatives of the figure of merit by central differences (relative step
// 1e-6), then x <- x - H^-1 g, which lands on the minimum of a quadratic. The vertex holds plain
// parameter values by then. Each stage reports its start and counts its steps down.

#include <string>

#include "fit/Objective.h"

namespace korvel {

struct FitSession;
struct FitStop;
struct FreeParameters;
class FitObserver;

// Relative difference step of the Newton step and the uncertainty estimate.
inline constexpr double kRelativeStep = 1e-6;

// The difference step of free parameter k (1-based) at `value`: 1e-6 of the value,
// or, for a value of exactly 0, 1e-6 of the parameter's half range (1e-10 when
// that is 0 too), so that no step is ever zero.
double DifferenceStep(const FreeParameters& free, int k, double value);

// "[Thickness:2]": the label and layer of free parameter k (1-based).
std::string FreeParameterName(const FreeParameters& free, int k);

// Moves vertex BestVertex in place; `merit` evaluates a vector of values. Returns false,
// the vertex unmoved, when a request to end the search arrives between two evaluations.
bool NewtonStep(FitSession& ws, FitObserver& observer, FitStop& stop, const Objective& merit);
bool NewtonStep(FitSession& ws, FitObserver& observer, FitStop& stop);

}  // namespace korvel
