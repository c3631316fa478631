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
// Whether the session's fit smears with the data's own resolution (a Gaussian of each
// point's width in Qz) instead of the model header's two laws: when asked to
// (ResolutionSource::Data), or by default when the curve carries a resolution column.
// Throws RunError when the data's resolution is asked for and the curve has none.
bool UsesDataResolution(const FitSession& ws);
// Plans the pointwise smearing of the session's curve with the model's wavelength when
// UsesDataResolution, and clears any plan otherwise; EvaluateCurve then smears by it.
void PrepareResolution(FitSession& ws);
// Reflectivity of the bare substrate at cos^2(theta) = c2, no roughness.
double FresnelReflectivity(const FitSession& ws, double c2);
// Rescales Uncertainty by the least-squares factor (unless the data are scaled).
void NormaliseWeights(FitSession& ws);

}  // namespace korvel
