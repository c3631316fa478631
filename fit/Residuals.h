#pragma once
// The normalised residuals of a fit, (measured - fitted) / uncertainty per point: the
// terms whose squares the figure of merit sums. The uncertainties are the weights the
// fit divided by (the data file's error column, a fraction of the data, or the Fresnel
// weights as the run normalised them) and the fitted curve is the smeared curve scaled
// onto the data, so the sum of squares over the fitting window divided by the window's
// points less the free parameters is the reduced chi-square the fit reports.

#include <span>
#include <vector>

namespace korvel {

struct CurveArrays;

// One residual per point (the shortest of the three spans sets the count); NaN where
// the uncertainty is 0 or the quotient is not a finite number.
std::vector<double> NormalisedResiduals(std::span<const double> measured,
                                        std::span<const double> fitted,
                                        std::span<const double> uncertainty);
// The same of MeasuredIntensity, SmearedCurve and Uncertainty.
std::vector<double> NormalisedResiduals(const CurveArrays& curves);

// Sum of the squared residuals of points first .. last (1-based, both included) over
// (last - first + 1 - freeCount); NaN when that count is not positive or a residual in
// the window is not finite.
double ReducedChiSquare(std::span<const double> residuals, int first, int last, int freeCount);

}  // namespace korvel
