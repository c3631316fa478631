#pragma once
// The public interface's plain types to the program's internal records and back:
// samples to layer models (checked as the model reader checks a file, densities
// converted to delta and beta), curves to data points, limits to a limits table, and
// the enumerations to the letters and indices the records keep.

#include <span>
#include <string>

#include "input/DataReader.h"
#include "input/LimitsReader.h"
#include "korvel/korvel.h"
#include "model/LayerModel.h"

namespace korvel::api {

// The index 0 .. 3 the records keep; throws RunError naming `where` for any other.
int DensityUnitsIndex(DensityUnits units, const std::string& where);
// 'F', 'P' or 'M'; and back, any letter but F and P meaning Matrix (as the settings
// dialog turns a command file's letter into its choice).
char MethodLetter(CalculationMethod method);
CalculationMethod MethodOfLetter(char letter);

// The layer model of `sample` (named `name` in messages): every number finite, the
// wavelength above 0, counts of 0 to 255 that match the layers, no negative thickness
// or roughness, densities converted to delta and beta; RepeatCount 0 without a repeat
// unit. Converts exactly as the model reader converts a file's numbers.
LayerModel ToLayerModel(const Sample& sample, const std::string& name);
// A layer model in the file units of `units` (read through the slots: a linked
// parameter shows the value of the one it follows).
Sample ToSample(const LayerModel& model, DensityUnits units);

// The points of a curve as the data reader gives them, each named "<name>, point i";
// the uncertainties are taken when `withUncertainties`. Throws RunError for curves of
// unequal lengths, without points or with more than 65535, and for numbers that are
// not finite.
DataPoints ToDataPoints(const Curve& curve, bool withUncertainties, const std::string& name);
Curve ToCurve(std::span<const double> theta, std::span<const double> intensity,
              std::span<const double> uncertainty = {});

// The limits table of `limits` for a model of `parameterCount` parameters (rows named
// "<name>: [Thickness:1] (layer 1, column 1)"); no rows at all become zero rows when
// `zeroRowsAllowed` (a model only evaluated). Throws RunError for a number that is not
// finite; a table of the wrong length is refused by the fit (BuildFreeParameters).
LimitsTable ToLimitsTable(const Limits& limits, int parameterCount, bool zeroRowsAllowed,
                          const std::string& name);

// The shortest text that reads back as the same double.
std::string ExactText(double value);
// `name`, or `fallback` when it is empty: what messages call an unnamed input.
std::string NameOr(const std::string& name, const char* fallback);

}  // namespace korvel::api
