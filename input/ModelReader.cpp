// The .mdl model file and the unit conversions that belong to it: density units to
// delta and beta of n = 1 - delta - i*beta and back, and Qz (1/A) to the glancing
// angle theta (degrees) and back. Lengths in angstrom.

#include "input/ModelReader.h"

#include <charconv>
#include <cmath>
#include <numbers>

#include "base/RunError.h"
#include "base/NumberStream.h"
#include "base/TextFile.h"

namespace korvel {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kElectronRadius = 2.817939e-5;  // classical electron radius, angstrom
constexpr long long kLargestCount = 255;         // each count is held in one byte

// Shortest text that reads back as the same double.
std::string ShortestText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void ReadHeader(NumberStream& in, LayerModel& model) {
    ModelHeader& h = model.Header;
    h.Wavelength = in.ReadReal();
    CheckWavelength(h.Wavelength, in.Where());
    h.WavelengthSpread = in.ReadReal();
    h.ResolutionOffset1 = in.ReadReal();
    h.ResolutionOffset2 = in.ReadReal();
    h.ResolutionSlope1 = in.ReadReal();
    h.ResolutionSlope2 = in.ReadReal();
    model.WaveNumber = 2.0 * kPi / h.Wavelength;
}

std::uint8_t ReadCount(NumberStream& in, const char* what) {
    const long long count = in.ReadInteger();
    return CheckedCount(count, what, in.Where());
}

// What the file holds at 0-based position `number`: six header reals, four counts,
// then four parameters per layer.
std::string NameOfNumber(int number) {
    static const char* const kHeaderAndCounts[10] = {
        "the wavelength",      "the wavelength spread",       "resolution offset 1",
        "resolution offset 2", "resolution slope 1",          "resolution slope 2",
        "the top layer count", "the repeat unit layer count", "the bottom layer count",
        "the repeat count",
    };
    if (number < 10) return kHeaderAndCounts[number];
    return ParameterNameAndPlace(number - 10 + 1);
}

void ReadCounts(NumberStream& in, LayerCounts& counts) {
    counts.TopLayerCount = ReadCount(in, "Top layer count");
    counts.RepeatUnitLayerCount = ReadCount(in, "Repeat unit layer count");
    counts.BottomLayerCount = ReadCount(in, "Bottom layer count");
    counts.RepeatCount = ReadCount(in, "Repeat count");
    if (counts.RepeatUnitLayerCount == 0) counts.RepeatCount = 0;
}

}  // namespace

void CheckWavelength(double wavelength, const std::string& where) {
    // A wavelength of 0 or below has no wave number and no Qz; nothing can be computed.
    if (!(wavelength > 0.0))
        throw RunError("Invalid wavelength " + ShortestText(wavelength) + " (must be above 0).",
                       where);
}

std::uint8_t CheckedCount(long long count, const char* what, const std::string& where) {
    // A byte would keep the count modulo 256 and silently describe another sample.
    if (count < 0 || count > kLargestCount)
        throw RunError(
            std::string(what) + " " + std::to_string(count) + " out of range (0 to 255).", where);
    return static_cast<std::uint8_t>(count);
}

void CheckParameterValue(const LayerModel& model, int j, double v, const std::string& where) {
    if (IsDensityParameter(j)) {
        if (!std::isfinite(v))
            throw RunError("Density value out of range after unit conversion.", where);
        return;
    }
    // No text reads as an infinite or undefined length; a sample built in memory may hold one.
    if (!std::isfinite(v)) throw RunError("Invalid numeric input", where);
    // A negative thickness or roughness has no physical meaning; the optics would still
    // compute a curve from it (reflectivities far above 1). The substrate's thickness is
    // exempt: no computation uses it.
    const bool thickness = ColumnOf(j) == Column::Thickness;
    if (!(v < 0.0)) return;
    if (thickness && LayerOf(j) == model.LayerCount) return;
    throw RunError("Negative " + std::string(thickness ? "thickness" : "roughness") + " " +
                       ShortestText(v) + " in layer " + std::to_string(LayerOf(j)) + ", column " +
                       std::to_string(ColumnNumberOf(j)) +
                       ": a thickness or roughness cannot be below 0.",
                   where);
}

LayerModel ParseModel(const std::string& text, const std::string& path, int densityUnits,
                      ReadWarnings& warnings) {
    NumberStream in(text, path);
    LayerModel read;
    ReadHeader(in, read);
    ReadCounts(in, read.Counts);
    const LayerCounts& c = read.Counts;
    read.LayerCount = static_cast<std::uint16_t>(c.TopLayerCount + c.RepeatUnitLayerCount +
                                                 c.BottomLayerCount + 1);
    read.ParameterCount = static_cast<std::uint16_t>(4 * read.LayerCount);
    read.Allocate();
    for (int j = 1; j <= read.ParameterCount; ++j) {
        double v = in.ReadReal();
        if (IsDensityParameter(j)) v = ConvertDensity(j, v, densityUnits, read.Header.Wavelength);
        CheckParameterValue(read, j, v, in.Where());
        read.SetValue(j, v);
    }
    const int expected = 10 + read.ParameterCount;
    if (in.NumbersRead() < expected)
        warnings.Add(path + ": the model file ends before " + NameOfNumber(in.NumbersRead()) +
                     "; the missing numbers read as 0.");
    return read;
}

void ParseModelHeader(const std::string& text, const std::string& path, LayerModel& model) {
    NumberStream in(text, path);
    LayerModel read;
    ReadHeader(in, read);
    model.Header = read.Header;
    model.WaveNumber = read.WaveNumber;
}

ModelPeek ParseModelPeek(const std::string& text, const std::string& path) {
    NumberStream in(text, path);
    LayerModel read;
    ReadHeader(in, read);
    ReadCounts(in, read.Counts);
    return ModelPeek{read.Header, read.WaveNumber, read.Counts};
}

void ReadModel(const std::string& path, int densityUnits, LayerModel& model,
               ReadWarnings& warnings) {
    model = ParseModel(ReadWholeFile(path), path, densityUnits, warnings);
}

void ReadModel(const std::string& path, int densityUnits, LayerModel& model) {
    ReadWarnings dropped;
    ReadModel(path, densityUnits, model, dropped);
}

void ReadModelHeader(const std::string& path, LayerModel& model) {
    ParseModelHeader(ReadWholeFile(path), path, model);
}

void PeekModel(const std::string& path, LayerModel& model) {
    const ModelPeek peek = ParseModelPeek(ReadWholeFile(path), path);
    model.Header = peek.Header;
    model.WaveNumber = peek.WaveNumber;
    model.Counts = peek.Counts;
}

double ConvertDensity(int j, double v, int densityUnits, double wavelength) {
    const double l2 = wavelength * wavelength;
    switch (densityUnits) {
        case 1:
            return v * l2 / (2.0 * kPi);
        case 2:
            return v * l2 * kElectronRadius / (2.0 * kPi);
        case 3:
            // Qc^2 for delta, the absorption coefficient mu for beta.
            return ColumnOf(j) == Column::ReDensity ? v * l2 / (32.0 * kPi * kPi)
                                                    : v * wavelength / (4.0 * kPi);
        default:
            return v;
    }
}

double ToFileUnits(int j, double value, int densityUnits, double wavelength) {
    const double l2 = wavelength * wavelength;
    switch (densityUnits) {
        case 0:
            return value;
        case 1:
            return 2.0 * kPi * value / l2;
        case 2:
            return 2.0 * kPi * value / (l2 * kElectronRadius);
        case 3:
            return ColumnOf(j) == Column::ReDensity ? 32.0 * kPi * kPi * value / l2
                                                    : 4.0 * kPi * value / wavelength;
        default:
            return 0.0;
    }
}

double QzToAngle(double qz, double wavelength) {
    const double s = qz * wavelength / (4.0 * kPi);
    // |s| >= 1 has no glancing angle (and the square root below would fail).
    if (!(std::fabs(s) < 1.0))
        throw RunError("Qz out of range.", "Qz = " + ShortestText(qz) +
                                               " 1/A has no glancing angle at wavelength " +
                                               ShortestText(wavelength) + " A");
    return std::atan(s / std::sqrt(1.0 - s * s)) * 180.0 / kPi;
}

double AngleToQz(double angleDegrees, double wavelength) {
    return 4.0 * kPi * std::sin(angleDegrees * kPi / 180.0) / wavelength;
}

double CosSquaredOfAngle(double angleDegrees) {
    const double s = std::sin((90.0 - angleDegrees) * kPi / 180.0);
    return s * s;
}

}  // namespace korvel
