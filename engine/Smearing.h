#pragma once
// Resolution smearing of the computed curve: two successive triangular moving
// averages in angle (degrees). Pass 1 has the half width theta * spread / lambda of
// the wavelength spread; pass 2 the smaller of the two linear resolution laws, with
// the triangle's slope set by the first law. Only points far enough from both ends
// of the curve are smeared; pass 2's range is the fitting window.

namespace korvel {

struct CurveArrays;
struct FitState;
struct ModelHeader;

// Reads Angle and CalculatedCurve and the resolution numbers of the model header;
// writes SpreadSmearedCurve, SmearedCurve, and FitWindowFirst and FitWindowLast of `fit`. A curve
// that cannot be smeared (shorter than its smearing window, or with decreasing
// angles) is left unsmeared with an empty fitting window (first > last).
void SmearCurve(const ModelHeader& header, CurveArrays& curves, FitState& fit);

}  // namespace korvel
