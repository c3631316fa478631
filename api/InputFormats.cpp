// The input formats through text: model, limits, data and command file. Read with the
// program's own readers, so that every check and message is the program's; written
// with the shortest text of each number, so that what is written reads back exactly.

#include <cmath>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "api/Conversion.h"
#include "base/NumberFormat.h"
#include "base/RunError.h"
#include "input/CommandFileReader.h"
#include "input/DataReader.h"
#include "input/LimitsReader.h"
#include "input/ModelReader.h"
#include "korvel/korvel.h"

namespace korvel::api {

namespace {

void AddWarnings(const ReadWarnings& found, std::vector<std::string>* warnings) {
    if (warnings == nullptr) return;
    warnings->insert(warnings->end(), found.Texts.begin(), found.Texts.end());
}

// Numbers separated by single blanks, then the line end.
std::string Line(std::initializer_list<double> numbers) {
    std::string line;
    for (const double number : numbers) {
        if (!line.empty()) line += ' ';
        line += ExactText(number);
    }
    return line + kLineEnd;
}

// A file name as a command file entry: one line that is not a comment.
const std::string& EntryName(const std::string& name, const char* entry) {
    if (name.empty() || name[0] == '#' || name.find_first_of("\r\n") != std::string::npos)
        throw RunError("A command file cannot name this " + std::string(entry) +
                           ": a name must be one line that is not empty and does not start "
                           "with #.",
                       "'" + name + "'");
    return name;
}

}  // namespace

Sample ParseSample(const std::string& text, DensityUnits units, const std::string& name,
                   std::vector<std::string>* warnings) {
    const int index = DensityUnitsIndex(units, name);
    // Read as a run reads it, every check of the density units included ...
    ReadWarnings found;
    ParseModel(text, name, index, found);
    // ... and kept with the file's own numbers, which a fit of the sample converts
    // exactly as a run converts them.
    ReadWarnings again;
    Sample sample = ToSample(ParseModel(text, name, 0, again), DensityUnits::DeltaBeta);
    sample.Units = units;
    AddWarnings(found, warnings);
    return sample;
}

std::string FormatSample(const Sample& sample) {
    // What the reader would refuse is not written.
    const LayerModel model = ToLayerModel(sample, "sample");
    std::string text =
        Line({sample.Wavelength, sample.WavelengthSpread, sample.ResolutionOffset1,
              sample.ResolutionOffset2, sample.ResolutionSlope1, sample.ResolutionSlope2});
    const LayerCounts& c = model.Counts;
    text += FormatI(c.TopLayerCount) + " " + FormatI(c.RepeatUnitLayerCount) + " " +
            FormatI(c.BottomLayerCount) + " " + FormatI(c.RepeatCount) + kLineEnd;
    for (const Layer& layer : sample.Layers)
        text += Line({layer.Thickness, layer.ReDensity, layer.ImDensity, layer.Roughness});
    return text;
}

Limits ParseLimits(const std::string& text, int parameterCount, const std::string& name,
                   std::vector<std::string>* warnings) {
    const LimitsTable table = korvel::ParseLimits(text, name, parameterCount);
    Limits limits;
    for (const LimitsRow& row : table.Rows)
        limits.Parameters.push_back({row.Lower, row.Upper, row.Step});
    AddWarnings(table.ShortFileWarnings, warnings);
    return limits;
}

std::string FormatLimits(const Limits& limits) {
    const LimitsTable table =
        ToLimitsTable(limits, static_cast<int>(limits.Parameters.size()), false, "limits");
    std::string text;
    for (const LimitsRow& row : table.Rows) text += Line({row.Lower, row.Upper, row.Step});
    return text;
}

Curve ParseData(const std::string& text, const DataFormat& format, const std::string& name) {
    if (format.Qz) CheckWavelength(format.Wavelength, name + ": the wavelength of its Qz");
    const DataPoints points = ParseDataPoints(text, name, format.WithUncertainties);
    CurveArrays curves;
    FillMeasuredCurves(points, format.Qz, format.Wavelength, WeightingState{}, curves);
    const std::size_t n = curves.PointCount;
    return ToCurve(std::span(curves.Angle.data(), n), std::span(curves.MeasuredIntensity.data(), n),
                   format.WithUncertainties ? std::span(curves.Uncertainty.data(), n)
                                            : std::span<const double>());
}

std::string FormatData(const Curve& data, const DataFormat& format) {
    if (format.Qz) CheckWavelength(format.Wavelength, "data: the wavelength of its Qz");
    const DataPoints points = ToDataPoints(data, format.WithUncertainties, "data");
    std::string text;
    for (const DataPoint& p : points.Points) {
        const double x = format.Qz ? AngleToQz(p.Abscissa, format.Wavelength) : p.Abscissa;
        text += format.WithUncertainties ? Line({x, p.Intensity, p.Uncertainty})
                                         : Line({x, p.Intensity});
    }
    return text;
}

CommandFile ParseCommandFile(const std::string& text, const std::string& name) {
    const RunSettings s = korvel::ParseCommandFile(text, name, RunSettings{}, {}).Settings;
    CommandFile file;
    file.DataFileName = s.DataFileName;
    file.FitMode = s.FitMode;
    file.DataScaled = s.DataScaled;
    file.ErrorsFromFile = s.ErrorsFromFile;
    file.ModelFileName = s.ModelFileName;
    file.LimitsFileName = s.LimitsFileName;
    file.Tolerance = s.FitTolerance;
    file.MaxIterations = s.MaxIterations;
    file.CutOff = s.CutOffLevel;
    file.Method = MethodOfLetter(s.CalculationMode);
    return file;
}

std::string FormatCommandFile(const CommandFile& file) {
    if (!std::isfinite(file.Tolerance))
        throw RunError("Invalid numeric input", "command file: the tolerance");
    if (!std::isfinite(file.CutOff))
        throw RunError("Invalid numeric input", "command file: the cut-off level");
    if (file.MaxIterations < 0 || file.MaxIterations > 65535)
        throw RunError("Maximum number of iterations " + std::to_string(file.MaxIterations) +
                           " out of range (0 to 65535).",
                       "command file: the maximum number of iterations");
    std::string text;
    for (const std::string& entry :
         {EntryName(file.DataFileName, "data file"), std::string(file.FitMode ? "F" : "S"),
          std::string(file.DataScaled ? "N" : "Y"), std::string(file.ErrorsFromFile ? "Y" : "N"),
          EntryName(file.ModelFileName, "model file"),
          EntryName(file.LimitsFileName, "limits file"), ExactText(file.Tolerance),
          std::to_string(file.MaxIterations), ExactText(file.CutOff),
          std::string(1, MethodLetter(file.Method))})
        text += entry + kLineEnd;
    return text;
}

}  // namespace korvel::api
