#pragma once
// The one routine through which every run computes reflectivity.

#include <span>

namespace korvel {

struct FitSession;

// Maps the vertex into the model, builds the optical stack, computes every point by
// the run's calculation mode, floors at CutOffLevel, smears, and unless
// SkipFigureOfMerit is set scales and scores. Returns the reduced chi-square.
// Throws RunError when a value comes out non-finite.
double EvaluateCurve(FitSession& ws, std::span<const double> vertex);
// Reflectivity of the bare substrate at cos^2(theta) = c2, no roughness.
double FresnelReflectivity(const FitSession& ws, double c2);
// Rescales Uncertainty by the least-squares factor (unless the data are scaled).
void NormaliseWeights(FitSession& ws);

}  // namespace korvel
