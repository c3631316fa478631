#pragma once
// The .dat data file: points of abscissa (theta in degrees, or Qz in 1/A) and
// intensity, with the intensity's uncertainty as a third number when the run takes
// the errors from the file.

#include <string>
#include <vector>

#include "model/CurveArrays.h"
#include "model/Weighting.h"

namespace korvel {

struct DataPoint {
    double Abscissa = 0.0;  // theta (degrees) or Qz (1/A), as the file gives it
    double Intensity = 0.0;
    double Uncertainty = 0.0;  // dI; 0 when the file carries no uncertainties
    // Standard deviation of a Gaussian resolution in Qz (1/A), when the file gives one;
    // NaN where it says the value is unknown.
    double Resolution = 0.0;
    std::string Where;  // file, line and abscissa token, for messages
};

struct DataPoints {
    std::string Path;                // the file, for messages
    bool WithUncertainties = false;  // three numbers a point
    bool WithResolution = false;     // a resolution per point (column files only)
    std::vector<DataPoint> Points;   // 1 to 65535 complete points
};

// The data file `path` (named in messages) from its text: complete points only, two
// numbers each, or three `withUncertainties`. Throws RunError for an invalid number,
// a text ending inside a point, no point at all or more than 65535 points.
DataPoints ParseDataPoints(const std::string& text, const std::string& path,
                           bool withUncertainties);

// The measured curve of `data` in `curves`: angles (from Qz with `wavelength`, in
// angstrom, when `qz`), their cos^2, intensities, the residual weights dI (from the
// file, a fraction of the intensity (FractionWeights) or 1 (FresnelWeights: the
// fitting run sets them)) and the resolution column when the data carry one. Throws
// RunError, leaving `curves` as they were, for a Qz without a glancing angle, an angle
// of 90 degrees or more, a decreasing angle, or data whose every intensity is 0.
void FillMeasuredCurves(const DataPoints& data, bool qz, double wavelength,
                        const WeightingState& weighting, CurveArrays& curves);

}  // namespace korvel
