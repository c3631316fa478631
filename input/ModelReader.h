#pragma once
// The .mdl model file: six header reals, four counts (one byte each), then four
// reals per layer from the top layer to the substrate, free format.

#include <string>

#include "model/LayerModel.h"
#include "base/ReadWarnings.h"

namespace korvel {

class InputTexts;

// With `inputs`, a model that gives its contents once (a named pipe, /dev/stdin) is
// read once per run and every later reading is taken from there.
// Full read; converts columns 2 and 3 with the density units into delta and beta.
// Throws RunError ("File not found.", "Invalid numeric input", a negative thickness or
// roughness, ...) naming the file. A file that ends early reads its missing numbers
// as 0 and adds a warning naming the first of them.
void ReadModel(const std::string& path, int densityUnits, LayerModel& model,
               ReadWarnings& warnings, InputTexts* inputs = nullptr);
// The same, the warnings dropped.
void ReadModel(const std::string& path, int densityUnits, LayerModel& model);
// Header (and WaveNumber) only.
void ReadModelHeader(const std::string& path, LayerModel& model, InputTexts* inputs = nullptr);
// Header and counts only (the command-file reader's peek).
void PeekModel(const std::string& path, LayerModel& model, InputTexts* inputs = nullptr);

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
