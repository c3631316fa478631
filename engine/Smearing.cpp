// Two-pass triangular resolution smearing. Widths are half widths in degrees:
// pass 1 w = theta * WavelengthSpread / Wavelength, pass 2 w = min(law1, law2)
// with law_i = ResolutionSlope_i * theta + ResolutionOffset_i and weight half
// width law1. Arrays are 0-based here; the window is stored 1-based.

#include "engine/Smearing.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "model/CurveArrays.h"
#include "model/FitState.h"
#include "model/LayerModel.h"

namespace korvel {

namespace {

// Triangular average at point i of src: neighbours up to w away (inclusive) with
// weight 1 - dz / h. The walks stop at the curve's ends.
double SmoothingStep(std::span<const double> theta, std::span<const double> src, int i, double w,
                     double h) {
    double acc = src[i];
    double weightSum = 1.0;
    if (w == 0.0) return src[i];
    const int n = static_cast<int>(src.size());
    for (int j = i + 1; j < n; ++j) {
        const double dz = theta[j] - theta[i];
        if (dz > w) break;
        const double f = 1.0 - dz / h;
        weightSum += f;
        acc += f * src[j];
    }
    for (int j = i - 1; j >= 0; --j) {
        const double dz = theta[i] - theta[j];
        if (dz > w) break;
        const double f = 1.0 - dz / h;
        weightSum += f;
        acc += f * src[j];
    }
    return acc / weightSum;
}

// Walks from `start` towards the far end in steps of `step` (+1 or -1), copying
// src into the given destinations, and returns the first index whose distance from
// the curve's `end` point exceeds the window there; none if the walk leaves the curve.
template <typename Width>
std::optional<int> EdgeSearch(std::span<const double> theta, int start, int step, int end,
                              Width width, std::span<const double> src, std::span<double> first,
                              std::span<double> second) {
    const int n = static_cast<int>(theta.size());
    for (int i = start; i >= 0 && i < n; i += step) {
        first[i] = src[i];
        if (!second.empty()) second[i] = src[i];
        const double distance = step > 0 ? theta[i] - theta[end] : theta[end] - theta[i];
        if (distance > width(theta[i])) return i;
    }
    return std::nullopt;
}

void LeaveUnsmeared(CurveArrays& curves, FitState& fit) {
    std::copy(curves.CalculatedCurve.begin(), curves.CalculatedCurve.end(),
              curves.SpreadSmearedCurve.begin());
    std::copy(curves.CalculatedCurve.begin(), curves.CalculatedCurve.end(),
              curves.SmearedCurve.begin());
    fit.FitWindowFirst = 1;
    fit.FitWindowLast = 0;
}

}  // namespace

void SmearCurve(const ModelHeader& header, CurveArrays& curves, FitState& fit) {
    const int n = curves.PointCount;
    const std::span<const double> theta(curves.Angle.data(), n);
    const std::span<const double> calculated(curves.CalculatedCurve.data(), n);
    const std::span<double> spread(curves.SpreadSmearedCurve.data(), n);
    const std::span<double> smeared(curves.SmearedCurve.data(), n);

    if (n == 0 || !std::is_sorted(theta.begin(), theta.end())) {
        LeaveUnsmeared(curves, fit);
        return;
    }

    const auto spreadWidth = [&](double t) {
        return t * header.WavelengthSpread / header.Wavelength;
    };
    const auto law1 = [&](double t) {
        return header.ResolutionSlope1 * t + header.ResolutionOffset1;
    };
    const auto resolutionWidth = [&](double t) {
        const double first = law1(t);
        const double second = header.ResolutionSlope2 * t + header.ResolutionOffset2;
        return first < second ? first : second;
    };

    // Pass 1: the wavelength spread, from CalculatedCurve into SpreadSmearedCurve.
    const auto a1 = EdgeSearch(theta, 0, +1, 0, spreadWidth, calculated, spread, smeared);
    const auto b1 = EdgeSearch(theta, n - 1, -1, n - 1, spreadWidth, calculated, spread, smeared);
    if (!a1 || !b1) {
        LeaveUnsmeared(curves, fit);
        return;
    }
    for (int i = *a1; i <= *b1; ++i) {
        const double w = spreadWidth(theta[i]);
        spread[i] = SmoothingStep(theta, calculated, i, w, w);
    }

    // Pass 2: the resolution laws, from SpreadSmearedCurve into SmearedCurve.
    const std::span<const double> source(spread.data(), n);
    const auto a2 = EdgeSearch(theta, *a1, +1, 0, resolutionWidth, source, smeared, {});
    const auto b2 = EdgeSearch(theta, *b1, -1, n - 1, resolutionWidth, source, smeared, {});
    if (!a2 || !b2) {
        LeaveUnsmeared(curves, fit);
        return;
    }
    for (int i = *a2; i <= *b2; ++i)
        smeared[i] = SmoothingStep(theta, source, i, resolutionWidth(theta[i]), law1(theta[i]));

    fit.FitWindowFirst = static_cast<std::uint16_t>(*a2 + 1);
    fit.FitWindowLast = static_cast<std::uint16_t>(*b2 + 1);
}

}  // namespace korvel
