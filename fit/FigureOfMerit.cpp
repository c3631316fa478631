// Mapping of fit vectors into the model, and the scaled reduced chi-square
//   chi2 = sum over the window of ((I - s Rs) / dI)^2 / (window points - free count).

#include "fit/FigureOfMerit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/RunError.h"
#include "fit/FitSession.h"
#include "base/ParameterIndex.h"

namespace korvel {

namespace {

bool InRepeatUnit(const LayerModel& model, int j) {
    const int n1 = model.Counts.TopLayerCount;
    const int n2 = model.Counts.RepeatUnitLayerCount;
    const int layer = LayerOf(j);
    return layer > n1 && layer <= n1 + n2;
}

// Divisor of the repeat-unit layer that holds thickness j.
int DivisorOf(const FitSession& ws, int j) {
    const int l = LayerOf(j) - ws.Model.Counts.TopLayerCount;
    return ws.Free.RepeatUnit.RepeatUnitDivisor[l - 1];
}

// Least-squares factor sum(I R) / sum(R^2) over points [first, last) (0-based). A
// curve that is zero throughout stays zero whatever the factor; it keeps factor 1.
double LeastSquaresFactor(const CurveArrays& curves, const std::vector<double>& r, int first,
                          int last) {
    double numerator = 0.0;
    double denominator = 0.0;
    for (int i = first; i < last; ++i) {
        numerator += curves.MeasuredIntensity[i] * r[i];
        denominator += r[i] * r[i];
    }
    return denominator == 0.0 ? 1.0 : numerator / denominator;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

void SplitFixedRepeatUnit(FitSession& ws, std::span<double> values) {
    const RepeatUnitConstraint& unit = ws.Free.RepeatUnit;
    const int n2 = ws.Model.Counts.RepeatUnitLayerCount;
    if (unit.DependentThickness < 1 || unit.DependentThickness > ws.Model.ParameterCount ||
        static_cast<int>(unit.RepeatUnitDivisor.size()) < n2)
        throw RunError(
            "The fixed repeat-unit length has no dependent thickness to absorb the rest.");
    double remaining = unit.RepeatUnitLength - unit.FixedRepeatUnitPart;
    int k = 0;
    for (int j = 1; j <= ws.Model.ParameterCount; ++j) {
        if (!ws.Free.FreeFlags[j - 1]) continue;
        ++k;
        if (!IsThicknessParameter(j) || !InRepeatUnit(ws.Model, j)) continue;
        const double share = std::sin(values[k - 1]);
        const double t = share * share * remaining;
        remaining -= t;
        values[k - 1] = t / DivisorOf(ws, j);
    }
    const int dependent = unit.DependentThickness;
    ws.Model.SetValue(dependent, remaining / DivisorOf(ws, dependent));
}

void ConvertVertexToValues(FitSession& ws, std::span<double> entries) {
    const FreeParameters& free = ws.Free;
    for (int k = 1; k <= free.FreeCount; ++k)
        entries[k - 1] = free.FreeMid[k - 1] + free.FreeHalfRange[k - 1] * std::cos(entries[k - 1]);
    if (ws.Settings.RepeatUnitFixed) SplitFixedRepeatUnit(ws, entries);
}

void WriteFreeValues(FitSession& ws, std::span<const double> values) {
    int k = 0;
    for (int j = 1; j <= ws.Model.ParameterCount && k < ws.Free.FreeCount; ++j)
        if (ws.Free.FreeFlags[j - 1]) ws.Model.SetValue(j, values[k++]);
}

void MapVertexToModel(FitSession& ws, std::span<const double> vertex) {
    const int count = ws.Free.FreeCount;
    if (count == 0) return;
    if (static_cast<int>(vertex.size()) < count)
        throw RunError("The parameter vector is shorter than the number of free parameters.");
    // A vertex may be one of the simplex's work vectors; the values have their own.
    std::vector<double>& values = ws.Free.MappedValues;
    values.assign(vertex.begin(), vertex.begin() + count);
    if (!ws.Free.VertexHoldsValues) ConvertVertexToValues(ws, values);
    WriteFreeValues(ws, values);
}

double ScaleAndScore(FitSession& ws) {
    CurveArrays& curves = ws.Curves;
    FitState& fit = ws.Fit;
    const int n = curves.PointCount;
    const int first = fit.FitWindowFirst;
    const int last = fit.FitWindowLast;
    const int windowPoints = last - first + 1;

    if (ws.Settings.DataScaled) {
        fit.ScaleUnsmeared = 1.0;
        fit.ScaleSmeared = 1.0;
    } else {
        fit.ScaleUnsmeared = LeastSquaresFactor(curves, curves.CalculatedCurve, 0, n);
        fit.ScaleSmeared = windowPoints > 0
                               ? LeastSquaresFactor(curves, curves.SmearedCurve, first - 1, last)
                               : 1.0;
        if (!std::isfinite(fit.ScaleUnsmeared) || !std::isfinite(fit.ScaleSmeared))
            throw RunError("The scale factor of the computed curve is not a finite number.");
    }
    for (int i = 0; i < n; ++i) {
        curves.CalculatedCurve[i] *= fit.ScaleUnsmeared;
        curves.SmearedCurve[i] *= fit.ScaleSmeared;
    }

    const int freedom = windowPoints - ws.Free.FreeCount;
    if (freedom <= 0)
        throw RunError("The fitting window holds " + std::to_string(std::max(windowPoints, 0)) +
                       " points, not more than the " + std::to_string(ws.Free.FreeCount) +
                       " free parameters: the figure of merit cannot be formed.");

    double sum = 0.0;
    for (int i = first - 1; i < last; ++i) {
        const double weight = curves.Uncertainty[i];
        if (weight == 0.0)
            throw RunError("The residual weight of point " + std::to_string(i + 1) +
                           " (theta = " + Number(curves.Angle[i]) + " deg) is zero.");
        const double residual = (curves.MeasuredIntensity[i] - curves.SmearedCurve[i]) / weight;
        sum += residual * residual;
    }
    const double merit = sum / freedom;
    if (!std::isfinite(merit)) throw RunError("The figure of merit is not a finite number.");
    return merit;
}

}  // namespace korvel
