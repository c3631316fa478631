#pragma once
// Column data files as instruments and reduction programs write them: the ORSO text
// format (.ort: '#' header lines in YAML describing the measurement and the columns
// Qz, R, sR, sQz; several data sets, each after a "# data_set:" line) and plain text
// files of the columns Qz [1/A], R, dR, dQ with '#' comment lines. A data file is read
// this way when its name ends in .ort or its first non-blank character is '#'; any
// other is the program's own .dat format (input/DataReader.h).
//
// These are plain functions from text to records, for every front end: the fitting run,
// the command line, a library caller.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ReadWarnings.h"
#include "input/DataReader.h"

namespace korvel {

// One data set. Uncertainties and resolutions are standard deviations; NaN where the
// file says the value is unknown ("nan").
struct ColumnCurve {
    std::string Name;         // the data set's identifier
    std::vector<double> Qz;   // 1/A
    std::vector<double> R;
    std::vector<double> dR;   // uncertainty of R; empty: no such column
    std::vector<double> dQz;  // resolution in Qz, 1/A; empty: no such column
    std::vector<int> Lines;   // line of each point in the file (0: not from a file)
};

struct ColumnReadOptions {
    int DataSet = 1;                // which data set, 1 = the first
    bool ResolutionIsFwhm = false;  // a plain file's dQ column holds FWHM
};

struct ColumnData {
    std::string Path;                   // the file, for messages
    bool Described = false;             // an ORSO header described the columns
    std::vector<std::string> DataSets;  // the identifiers of every data set in the file
    int DataSet = 1;                    // the one read, 1-based
    ColumnCurve Curve;                  // every point of that data set, as written
    // The wavelength of the measurement from the header, in A: one value (Min == Max) or
    // a range (time of flight).
    std::optional<double> WavelengthMin;
    std::optional<double> WavelengthMax;
    ReadWarnings Warnings;  // what the reader assumed or passed over
};

// Whether the data file `path` with contents `text` is a column file.
bool IsColumnFile(std::string_view path, std::string_view text);

// Reads the chosen data set of the column file `path` (named in messages) from its text.
// Qz in 1/nm becomes 1/A; a resolution or uncertainty given as FWHM becomes a standard
// deviation. Throws RunError naming the file and line for a value that is not a number,
// a missing value, nan in Qz or R, a unit it does not know, a data set that is not in
// the file, or a data set without points.
ColumnData ParseColumnFile(const std::string& text, const std::string& path,
                           const ColumnReadOptions& options);

// The points of `data` a fit takes: those with R <= 0, or with dR <= 0 when the
// uncertainties are used, are left out and reported (count and first line). The
// uncertainties are used when `errorsFromFile` and at least one is known; with some
// unknown, the points without one are left out and reported. The resolutions go with
// the points when at least one is known (an unknown one stays NaN, reported). Findings
// are added to `warnings`. Throws RunError when no point is left.
DataPoints ColumnDataPoints(const ColumnData& data, bool errorsFromFile, ReadWarnings& warnings);

// One line for the user: the data set read (of how many), the points, the wavelength.
std::string ColumnDataSummary(const ColumnData& data, const DataPoints& points);

// A warning when the file's wavelength (a value, or a range the model's lies outside)
// differs from the model's `wavelength` (A) by more than 0.1 %.
void CompareWavelength(const ColumnData& data, double wavelength, ReadWarnings& warnings);

}  // namespace korvel
