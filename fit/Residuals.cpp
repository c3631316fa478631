// Normalised residuals and their reduced chi-square.

#include "fit/Residuals.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/CurveArrays.h"

namespace korvel {

std::vector<double> NormalisedResiduals(std::span<const double> measured,
                                        std::span<const double> fitted,
                                        std::span<const double> uncertainty) {
    const std::size_t n = std::min({measured.size(), fitted.size(), uncertainty.size()});
    std::vector<double> residuals(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double r = (measured[i] - fitted[i]) / uncertainty[i];
        residuals[i] = std::isfinite(r) ? r : std::numeric_limits<double>::quiet_NaN();
    }
    return residuals;
}

std::vector<double> NormalisedResiduals(const CurveArrays& curves) {
    const std::size_t n = curves.PointCount;
    auto first = [n](const std::vector<double>& a) {
        return std::span<const double>(a.data(), std::min(n, a.size()));
    };
    return NormalisedResiduals(first(curves.MeasuredIntensity), first(curves.SmearedCurve),
                               first(curves.Uncertainty));
}

double ReducedChiSquare(std::span<const double> residuals, int first, int last, int freeCount) {
    const int freedom = last - first + 1 - freeCount;
    if (first < 1 || last > static_cast<int>(residuals.size()) || freedom <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    double sum = 0.0;
    for (int i = first - 1; i < last; ++i) sum += residuals[i] * residuals[i];
    return sum / freedom;
}

}  // namespace korvel
