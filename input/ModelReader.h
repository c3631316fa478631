#pragma once
// The .mdl model file: six header reals, four counts (one byte each), then four
// reals per layer from the top layer to the substrate, free format.

#include <cstdint>
#include <string>

#include "model/LayerModel.h"
#include "base/ReadWarnings.h"

namespace korvel {

// What the first ten numbers of a model give: its header and its layer counts.
struct ModelPeek {
    ModelHeader Header;
    double WaveNumber = 0.0;  // 2 pi / Wavelength
    LayerCounts Counts;
};

// The text of the model file `path` (named in messages), read in full; converts
// columns 2 and 3 with the density units into delta and beta. Throws RunError
// ("Invalid numeric input", a negative thickness or roughness, ...) naming the file
// and the place. A text that ends early reads its missing numbers as 0 and adds a
// warning naming the first of them.
LayerModel ParseModel(const std::string& text, const std::string& path, int densityUnits,
                      ReadWarnings& warnings);
// The header (and WaveNumber) of a model text into `model`, nothing else of it.
void ParseModelHeader(const std::string& text, const std::string& path, LayerModel& model);
// Header and counts only (the command-file reader's peek).
ModelPeek ParseModelPeek(const std::string& text, const std::string& path);

// The same from the file itself ("File not found." and the like naming it).
void ReadModel(const std::string& path, int densityUnits, LayerModel& model,
               ReadWarnings& warnings);
// The same, the warnings dropped.
void ReadModel(const std::string& path, int densityUnits, LayerModel& model);
void ReadModelHeader(const std::string& path, LayerModel& model);
void PeekModel(const std::string& path, LayerModel& model);

// The reader's checks, also applied to samples that come from no file; each throws
// RunError naming `where`. The wavelength must be above 0; a layer count must fit in
// its byte (0 to 255; `what` is "Top layer count" and the like); the value v of
// parameter j, density columns already converted to delta and beta, must be finite
// and, for a thickness (but the substrate's) or a roughness, not below 0.
void CheckWavelength(double wavelength, const std::string& where);
std::uint8_t CheckedCount(long long count, const char* what, const std::string& where);
void CheckParameterValue(const LayerModel& model, int j, double v, const std::string& where);

// File value v of parameter j (column 2 or 3) into delta or beta.
double ConvertDensity(int j, double v, int densityUnits, double wavelength);
// Inverse of ConvertDensity: internal delta/beta back to file units (0 for unknown units).
double ToFileUnits(int j, double value, int densityUnits, double wavelength);

// theta (degrees) = arcsin(Qz * lambda / (4 pi)), via arctan(s / sqrt(1 - s^2)).
// Throws RunError when s >= 1 (no glancing angle exists).
double QzToAngle(double qz, double wavelength);
// Qz = 4 pi sin(theta) / lambda.
double AngleToQz(double angleDegrees, double wavelength);
// cos^2(theta), computed as sin^2((90 - theta) * pi / 180).
double CosSquaredOfAngle(double angleDegrees);

}  // namespace korvel
