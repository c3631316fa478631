// The free parameters and the starting simplex of a fit from its model and its limits
// table: the rules of the step column (fixed, spread percentage, link), the links, the
// constraint that keeps one period of the repeat unit at a fixed thickness, and the
// random starting simplex, all in the angle coordinate u with value = c + h cos(u).

#include "fit/StartingSimplex.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "base/ParameterIndex.h"
#include "base/ReadWarnings.h"
#include "base/RunError.h"
#include "fit/FitSession.h"
#include "input/LimitsReader.h"
#include "input/ModelReader.h"
#include "model/RunFilePath.h"

namespace korvel {
namespace {

constexpr double kLargestStepPercent = 99.9;
constexpr double kLinkScale = 100.0;
constexpr int kMostFreeParameters = 99;
constexpr double kHalfPi = std::numbers::pi / 2.0;

std::string Name(int j) {
    return std::string("[") + ParameterLabel(j) + ":" + std::to_string(LayerOf(j)) + "]";
}

// The step column after its rules (fixed 0, spread percentage, or 100 * target layer
// for a link).
double StepAfterRules(const LimitsRow& row, int layerCount) {
    double s = row.Step;
    if (row.Lower == row.Upper) s = 0.0;
    if (s > kLargestStepPercent) s = kLargestStepPercent;
    if (s < 0.0) {
        if (-s > layerCount) s = 0.0;
        s = std::fabs(s) * kLinkScale;
        // -0.9995 would give 99.95: above the largest spread yet below a link to layer 1,
        // so both free and linked to layer 0. It is the largest spread.
        if (s > kLargestStepPercent && s < kLinkScale) s = kLargestStepPercent;
    }
    return s;
}

bool IsLink(double stepPercent) { return stepPercent > kLargestStepPercent; }
int LinkTarget(double stepPercent) { return static_cast<int>(stepPercent / kLinkScale); }

double UniformUnit(std::mt19937_64& random) {
    return static_cast<double>(random() >> 11) * 0x1.0p-53;  // [0, 1)
}

// A limit as the file gives it, for messages.
std::string Shown(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string OutOfRangeMessage(int j) {
    return "Parameter [R " + std::to_string(LayerOf(j)) + " :C " +
           std::to_string(ColumnNumberOf(j)) + " ] out of range.";
}

// The bounds a free thickness or roughness may take: a negative one would let the search
// reach values that have no physical meaning (reflectivities far above 1). The
// substrate's thickness is exempt: no computation uses it.
void CheckUsableBounds(const LayerModel& m, int j, double lo, double hi, const std::string& where) {
    const bool thickness = ColumnOf(j) == Column::Thickness;
    if (!(thickness || ColumnOf(j) == Column::Roughness)) return;
    if (thickness && LayerOf(j) == m.LayerCount) return;
    if (lo < 0.0 || hi < 0.0)
        throw RunError(
            "Negative limit for the " + std::string(thickness ? "thickness" : "roughness") +
                " of layer " + std::to_string(LayerOf(j)) + ", column " +
                std::to_string(ColumnNumberOf(j)) + ": a thickness or roughness cannot be below 0.",
            where);
}

// Links the format allows but that cannot be what was meant: a cycle (layer 2 follows 3
// and 3 follows 2, or a layer follows itself) leaves its parameters fixed at whatever the
// slots reach; the substrate's thickness is ignored by every computation, so a thickness
// that follows it takes a value no curve ever showed.
void WarnAboutOddLinks(const LayerModel& m, const std::vector<double>& stepPercent,
                       const std::string& path, ReadWarnings& warnings) {
    const int count = m.ParameterCount;
    auto targetOf = [&](int j) {
        const double step = stepPercent[j - 1];
        return IsLink(step) ? ParameterIndex(LinkTarget(step), ColumnOf(j)) : 0;
    };
    for (int j = 1; j <= count; ++j) {
        if (targetOf(j) == 0) continue;
        // Follow the chain from j; it is a cycle through j when it comes back to j.
        // Each cycle is named once, by its lowest parameter.
        std::vector<int> chain{j};
        int next = targetOf(j);
        while (next != 0 && next != j && next > j && static_cast<int>(chain.size()) <= count) {
            chain.push_back(next);
            next = targetOf(next);
        }
        if (next == j) {
            std::string text = Name(j);
            for (std::size_t i = 1; i < chain.size(); ++i) text += " <== " + Name(chain[i]);
            text += " <== " + Name(j);
            warnings.Add(path + ": the links " + text +
                         " form a cycle; none of these parameters is free.");
        }
        const int target = targetOf(j);
        if (IsThicknessParameter(j) && LayerOf(target) == m.LayerCount && target != j)
            warnings.Add(path + ": " + Name(j) + " <== " + Name(target) +
                         " follows the substrate's thickness, which no computation uses.");
    }
}

// Keeps the thickness of one repeat-unit period at its starting value: the first free
// repeat-unit thickness becomes dependent, the other free ones are carried as angles
// phi in [0, pi/2] that split what is left of the period.
void SetUpRepeatUnit(FitSession& ws, const std::string& limitsPath) {
    LayerModel& m = ws.Model;
    FreeParameters& f = ws.Free;
    RepeatUnitConstraint& ru = f.RepeatUnit;
    const int n1 = m.Counts.TopLayerCount;
    const int n2 = m.Counts.RepeatUnitLayerCount;
    auto thicknessOf = [&](int J) { return ParameterIndex(n1 + J, Column::Thickness); };

    int found = 0;
    ru = RepeatUnitConstraint{};
    for (int J = 1; J <= n2; ++J) {
        if (!f.FreeFlags[thicknessOf(J) - 1]) continue;
        if (++found == 1) ru.DependentThickness = thicknessOf(J);
    }
    if (found < 2) {
        ws.Settings.RepeatUnitFixed = false;
        ru = RepeatUnitConstraint{};
        return;
    }
    f.StepPercent[ru.DependentThickness - 1] = 0.0;
    f.FreeFlags[ru.DependentThickness - 1] = false;
    --f.FreeCount;

    ru.RepeatUnitDivisor.assign(n2, 0);
    for (int J = 1; J <= n2; ++J) {
        const int i = thicknessOf(J);
        const double step = f.StepPercent[i - 1];
        if (IsLink(step)) {
            // Its share is counted at the layer it follows, which must be in the period.
            const int T = LinkTarget(step);
            if (T <= n1 || T > n1 + n2)
                throw RunError(
                    "A linked thickness of the repeat unit must follow a layer of the repeat "
                    "unit when the repeat unit length is fixed.",
                    limitsPath + ": [Thickness:" + std::to_string(n1 + J) +
                        "] <== [Thickness:" + std::to_string(T) + "]");
            ++ru.RepeatUnitDivisor[T - n1 - 1];
        } else {
            ++ru.RepeatUnitDivisor[J - 1];
        }
        ru.RepeatUnitLength += m.Value(i);
    }
    for (int J = 1; J <= n2; ++J) {
        const int i = thicknessOf(J);
        if (f.StepPercent[i - 1] == 0.0 && i != ru.DependentThickness)
            ru.FixedRepeatUnitPart += ru.RepeatUnitDivisor[J - 1] * m.Value(i);
    }

    double rest = ru.RepeatUnitLength - ru.FixedRepeatUnitPart;
    double previousShare = 0.0;
    int freeNumber = 0;
    for (int J = 1; J <= n2; ++J) {
        const int i = thicknessOf(J);
        if (!f.FreeFlags[i - 1]) continue;
        const double share = ru.RepeatUnitDivisor[J - 1] * m.Value(i);
        if (++freeNumber > 1) rest -= previousShare;
        previousShare = share;
        double ratio = share / rest;
        // The running subtraction may leave the last share a rounding error above the rest.
        if (ratio > 1.0 && ratio < 1.0 + 1e-12) ratio = 1.0;
        // Only positive thicknesses split a period; anything else has no angle.
        if (!(ratio >= 0.0 && ratio <= 1.0))
            throw RunError(
                "Repeat unit thicknesses must be positive when the repeat unit "
                "length is fixed.",
                RunFilePath(ws.Settings, ws.Settings.ModelFileName) +
                    ": [Thickness:" + std::to_string(n1 + J) + "]");
        m.SetValue(i, std::asin(std::sqrt(ratio)));
    }
}

}  // namespace

void BuildFreeParameters(FitSession& ws, const LimitsTable& limits) {
    RunSettings& s = ws.Settings;
    LayerModel& m = ws.Model;
    FreeParameters& f = ws.Free;
    const std::string& limitsPath = limits.Path;
    const int count = m.ParameterCount;
    if (static_cast<int>(limits.Rows.size()) != count)
        throw RunError(
            "The limits table does not match the model: " + std::to_string(limits.Rows.size()) +
                " rows for " + std::to_string(count) + " parameters.",
            limitsPath);
    f.StepPercent.assign(count, 0.0);
    f.FreeFlags.assign(count, false);
    f.FreeCount = 0;
    f.RepeatUnit = RepeatUnitConstraint{};
    f.VertexHoldsValues = false;

    if (s.FitMode) {
        for (const std::string& warning : limits.ShortFileWarnings.Texts) ws.Warnings.Add(warning);
        for (int j = 1; j <= count; ++j)
            f.StepPercent[j - 1] = StepAfterRules(limits.Rows[j - 1], m.LayerCount);
    }

    // The seed asked for, or the clock's; the session reports it, so that any run can be
    // repeated with it.
    ws.Fit.Seed = ws.Options.Seed ? *ws.Options.Seed
                                  : static_cast<std::uint64_t>(
                                        std::chrono::system_clock::now().time_since_epoch().count());
    ws.Random.seed(ws.Fit.Seed);

    // A value of exactly 0 is never free: its spread would be 0 as well.
    for (int j = 1; j <= count; ++j) {
        const double step = f.StepPercent[j - 1];
        f.FreeFlags[j - 1] = step != 0.0 && m.Value(j) != 0.0 && step < kLinkScale;
        if (f.FreeFlags[j - 1]) ++f.FreeCount;
    }
    for (int j = 1; j <= count; ++j) {
        const double step = f.StepPercent[j - 1];
        if (!IsLink(step)) continue;
        m.Link(j, ParameterIndex(LinkTarget(step), ColumnOf(j)));
    }
    WarnAboutOddLinks(m, f.StepPercent, limitsPath, ws.Warnings);
    if (s.RepeatUnitFixed) SetUpRepeatUnit(ws, limitsPath);
    if (f.FreeCount > kMostFreeParameters)
        throw RunError(
            "Too many free parameters: " + std::to_string(f.FreeCount) + " (at most 99).",
            limitsPath);
    f.AllocateSimplex();

    // Bounds in internal units, vertex 1 and the random spread.
    const int n1 = m.Counts.TopLayerCount;
    const int n2 = m.Counts.RepeatUnitLayerCount;
    int k = 0;
    for (int j = 1; j <= count; ++j) {
        if (!f.FreeFlags[j - 1]) continue;
        const LimitsRow& row = limits.Rows[j - 1];
        double lo = row.Lower;
        double hi = row.Upper;
        if (IsDensityParameter(j)) {
            lo = ConvertDensity(j, lo, s.DensityUnits, m.Header.Wavelength);
            hi = ConvertDensity(j, hi, s.DensityUnits, m.Header.Wavelength);
        }
        const double v = m.Value(j);
        f.Vertices[0][k] = v;
        const bool repeatUnitThickness = s.RepeatUnitFixed && IsThicknessParameter(j) &&
                                         j >= n1 * 4 + 1 && j <= (n1 + n2 - 1) * 4 + 1;
        if (repeatUnitThickness) {
            lo = 0.0;
            hi = kHalfPi;
        }
        // No starting value lies inside such limits; "out of range" would blame the model.
        if (lo > hi)
            throw RunError("The lower limit of [" + std::string(ParameterLabel(j)) + ":" +
                               std::to_string(LayerOf(j)) + "] is above its upper limit.",
                           limitsPath + ", parameter " + std::to_string(j) + ": lower " +
                               Shown(row.Lower) + ", upper " + Shown(row.Upper));
        CheckUsableBounds(m, j, lo, hi, row.Where);
        f.FreeMid[k] = (hi + lo) / 2.0;
        f.FreeHalfRange[k] = (hi - lo) / 2.0;
        if (!std::isfinite(f.FreeMid[k]) || !std::isfinite(f.FreeHalfRange[k]))
            throw RunError("The limits of " + ParameterNameAndPlace(j) +
                               " are too far apart: their middle or half range is not a "
                               "finite number.",
                           row.Where);
        if (v < lo || v > hi)
            throw RunError(OutOfRangeMessage(j),
                           limitsPath + ": the model's starting value of [" + ParameterLabel(j) +
                               ":" + std::to_string(LayerOf(j)) + "] lies outside its limits");
        // The spread v (1 + sigma r p), sigma = +-1 and r uniform in [0, 1), redrawn until it
        // lies within the bounds, is uniform on the part of v (1 - p) .. v (1 + p) inside
        // them; it is drawn there directly, so narrow bounds cannot make it loop for long.
        const double p = f.StepPercent[j - 1] / 100.0;
        const double low = std::max(lo, std::min(v * (1.0 - p), v * (1.0 + p)));
        const double high = std::min(hi, std::max(v * (1.0 - p), v * (1.0 + p)));
        for (int vertex = 2; vertex <= f.VertexCount; ++vertex) {
            const double x = low + UniformUnit(ws.Random) * (high - low);
            f.Vertices[vertex - 1][k] = std::clamp(x, low, high);
        }
        ++k;
    }

    // Angle transform u = -arccos(x), x = (value - c) / h.
    for (int vertex = 1; vertex <= f.VertexCount; ++vertex) {
        for (int free = 1; free <= f.FreeCount; ++free) {
            double& entry = f.Vertices[vertex - 1][free - 1];
            const double x = (entry - f.FreeMid[free - 1]) / f.FreeHalfRange[free - 1];
            if (!(std::fabs(x) <= 1.0))
                throw RunError("*Free parameter " + std::to_string(free) + " out of range.",
                               limitsPath);
            if (x == 0.0) {
                entry = -kHalfPi;
            } else {
                const double a = std::atan(std::sqrt(1.0 - x * x) / std::fabs(x));
                entry = x > 0.0 ? -a : a - std::numbers::pi;
            }
        }
    }

    for (double& step : f.StepPercent) step = IsLink(step) ? LinkTarget(step) : 0.0;
}

}  // namespace korvel
