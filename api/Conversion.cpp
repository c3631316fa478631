// Public plain types to internal records and back.

#include "api/Conversion.h"

#include <charconv>
#include <cmath>
#include <numbers>

#include "base/ParameterIndex.h"
#include "base/RunError.h"
#include "input/ModelReader.h"

namespace korvel::api {

namespace {

constexpr std::size_t kMostPoints = 65535;  // the point count is 16-bit

// A number no text can hold is what the readers call an invalid number.
void CheckFinite(double value, const std::string& where) {
    if (!std::isfinite(value)) throw RunError("Invalid numeric input", where);
}

}  // namespace

int DensityUnitsIndex(DensityUnits units, const std::string& where) {
    const int index = static_cast<int>(units);
    if (index < 0 || index > 3)
        throw RunError("Density units " + std::to_string(index) + " out of range (0 to 3).", where);
    return index;
}

char MethodLetter(CalculationMethod method) {
    switch (method) {
        case CalculationMethod::Fourier:
            return 'F';
        case CalculationMethod::Parratt:
            return 'P';
        case CalculationMethod::Matrix:
            return 'M';
    }
    return 'M';
}

CalculationMethod MethodOfLetter(char letter) {
    if (letter == 'F') return CalculationMethod::Fourier;
    if (letter == 'P') return CalculationMethod::Parratt;
    return CalculationMethod::Matrix;
}

LayerModel ToLayerModel(const Sample& sample, const std::string& name) {
    const int units = DensityUnitsIndex(sample.Units, name);
    LayerModel model;
    ModelHeader& h = model.Header;
    const double header[6] = {sample.Wavelength,        sample.WavelengthSpread,
                              sample.ResolutionOffset1, sample.ResolutionOffset2,
                              sample.ResolutionSlope1,  sample.ResolutionSlope2};
    static const char* const kHeaderNames[6] = {"the wavelength",      "the wavelength spread",
                                                "resolution offset 1", "resolution offset 2",
                                                "resolution slope 1",  "resolution slope 2"};
    for (int i = 0; i < 6; ++i) CheckFinite(header[i], name + ": " + kHeaderNames[i]);
    CheckWavelength(sample.Wavelength, name + ": the wavelength");
    h.Wavelength = sample.Wavelength;
    h.WavelengthSpread = sample.WavelengthSpread;
    h.ResolutionOffset1 = sample.ResolutionOffset1;
    h.ResolutionOffset2 = sample.ResolutionOffset2;
    h.ResolutionSlope1 = sample.ResolutionSlope1;
    h.ResolutionSlope2 = sample.ResolutionSlope2;
    model.WaveNumber = 2.0 * std::numbers::pi / h.Wavelength;

    LayerCounts& c = model.Counts;
    c.TopLayerCount = CheckedCount(sample.TopLayerCount, "Top layer count", name);
    c.RepeatUnitLayerCount =
        CheckedCount(sample.RepeatUnitLayerCount, "Repeat unit layer count", name);
    c.BottomLayerCount = CheckedCount(sample.BottomLayerCount, "Bottom layer count", name);
    c.RepeatCount = CheckedCount(sample.RepeatCount, "Repeat count", name);
    if (c.RepeatUnitLayerCount == 0) c.RepeatCount = 0;
    const std::size_t layers =
        static_cast<std::size_t>(c.TopLayerCount + c.RepeatUnitLayerCount + c.BottomLayerCount) + 1;
    if (sample.Layers.size() != layers)
        throw RunError("The sample has " + std::to_string(sample.Layers.size()) +
                           " layers where its counts call for " + std::to_string(layers) +
                           " (top, repeat unit and bottom layers, and the substrate).",
                       name);

    model.LayerCount = static_cast<std::uint16_t>(layers);
    model.ParameterCount = static_cast<std::uint16_t>(4 * layers);
    model.Allocate();
    for (int j = 1; j <= model.ParameterCount; ++j) {
        const Layer& layer = sample.Layers[LayerOf(j) - 1];
        double v = 0.0;
        switch (ColumnOf(j)) {
            case Column::Thickness:
                v = layer.Thickness;
                break;
            case Column::ReDensity:
                v = layer.ReDensity;
                break;
            case Column::ImDensity:
                v = layer.ImDensity;
                break;
            case Column::Roughness:
                v = layer.Roughness;
                break;
        }
        const std::string where = name + ": " + ParameterNameAndPlace(j);
        CheckFinite(v, where);
        if (IsDensityParameter(j)) v = ConvertDensity(j, v, units, h.Wavelength);
        CheckParameterValue(model, j, v, where);
        model.SetValue(j, v);
    }
    return model;
}

Sample ToSample(const LayerModel& model, DensityUnits units) {
    Sample sample;
    const ModelHeader& h = model.Header;
    sample.Wavelength = h.Wavelength;
    sample.WavelengthSpread = h.WavelengthSpread;
    sample.ResolutionOffset1 = h.ResolutionOffset1;
    sample.ResolutionOffset2 = h.ResolutionOffset2;
    sample.ResolutionSlope1 = h.ResolutionSlope1;
    sample.ResolutionSlope2 = h.ResolutionSlope2;
    sample.TopLayerCount = model.Counts.TopLayerCount;
    sample.RepeatUnitLayerCount = model.Counts.RepeatUnitLayerCount;
    sample.BottomLayerCount = model.Counts.BottomLayerCount;
    sample.RepeatCount = model.Counts.RepeatCount;
    sample.Units = units;
    sample.Layers.resize(model.LayerCount);
    for (int j = 1; j <= model.ParameterCount; ++j) {
        Layer& layer = sample.Layers[LayerOf(j) - 1];
        const double v = model.Value(j);
        switch (ColumnOf(j)) {
            case Column::Thickness:
                layer.Thickness = v;
                break;
            case Column::ReDensity:
                layer.ReDensity = ToFileUnits(j, v, static_cast<int>(units), h.Wavelength);
                break;
            case Column::ImDensity:
                layer.ImDensity = ToFileUnits(j, v, static_cast<int>(units), h.Wavelength);
                break;
            case Column::Roughness:
                layer.Roughness = v;
                break;
        }
    }
    return sample;
}

DataPoints ToDataPoints(const Curve& curve, bool withUncertainties, const std::string& name) {
    const std::size_t n = curve.Theta.size();
    if (curve.Intensity.size() != n)
        throw RunError("The curve has " + std::to_string(n) + " angles but " +
                           std::to_string(curve.Intensity.size()) + " intensities.",
                       name);
    if (withUncertainties && curve.Uncertainty.size() != n)
        throw RunError("The curve has " + std::to_string(n) + " points but " +
                           std::to_string(curve.Uncertainty.size()) + " uncertainties.",
                       name);
    if (!curve.Resolution.empty() && curve.Resolution.size() != n)
        throw RunError("The curve has " + std::to_string(n) + " points but " +
                           std::to_string(curve.Resolution.size()) + " resolutions.",
                       name);
    if (n == 0) throw RunError("Data file holds no data points.", name);
    if (n > kMostPoints) throw RunError("Too many data points: at most 65535 are allowed.", name);
    DataPoints data;
    data.Path = name;
    data.WithUncertainties = withUncertainties;
    data.WithResolution = !curve.Resolution.empty();
    data.Points.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        DataPoint& p = data.Points[i];
        p.Where = name + ", point " + std::to_string(i + 1);
        p.Abscissa = curve.Theta[i];
        p.Intensity = curve.Intensity[i];
        p.Uncertainty = withUncertainties ? curve.Uncertainty[i] : 0.0;
        CheckFinite(p.Abscissa, p.Where + " (angle)");
        CheckFinite(p.Intensity, p.Where + " (intensity)");
        CheckFinite(p.Uncertainty, p.Where + " (uncertainty)");
        if (data.WithResolution) {
            // NaN: unknown, as column files write it.
            p.Resolution = curve.Resolution[i];
            if (std::isinf(p.Resolution)) CheckFinite(p.Resolution, p.Where + " (resolution)");
        }
    }
    return data;
}

Curve ToCurve(std::span<const double> theta, std::span<const double> intensity,
              std::span<const double> uncertainty) {
    return Curve{{theta.begin(), theta.end()},
                 {intensity.begin(), intensity.end()},
                 {uncertainty.begin(), uncertainty.end()},
                 {}};
}

LimitsTable ToLimitsTable(const Limits& limits, int parameterCount, bool zeroRowsAllowed,
                          const std::string& name) {
    LimitsTable table;
    table.Path = name;
    const bool zeroRows = zeroRowsAllowed && limits.Parameters.empty();
    table.Rows.resize(zeroRows ? static_cast<std::size_t>(parameterCount)
                               : limits.Parameters.size());
    for (std::size_t i = 0; i < table.Rows.size(); ++i) {
        LimitsRow& row = table.Rows[i];
        row.Where = name + ": " + ParameterNameAndPlace(static_cast<int>(i) + 1);
        if (zeroRows) continue;
        const ParameterLimits& given = limits.Parameters[i];
        CheckFinite(given.Lower, row.Where + " (lower limit)");
        CheckFinite(given.Upper, row.Where + " (upper limit)");
        CheckFinite(given.Step, row.Where + " (step)");
        row.Lower = given.Lower;
        row.Upper = given.Upper;
        row.Step = given.Step;
    }
    table.CompleteRows = static_cast<int>(table.Rows.size());
    return table;
}

std::string ExactText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string NameOr(const std::string& name, const char* fallback) {
    return name.empty() ? std::string(fallback) : name;
}

}  // namespace korvel::api
