// Fuzz target: the .dat reader from text, with the uncertainty from the file or set
// by the weighting (a fraction of the intensity, or the Fresnel placeholder), angles in
// degrees or Qz. A text that reads must give finite, non-decreasing angles below 90
// degrees and a point count that fits.

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "base/RunError.h"
#include "input/ColumnFile.h"
#include "input/DataReader.h"

using namespace korvel;
using namespace korvel::fuzzing;

namespace {

void CheckCurves(const CurveArrays& c, std::size_t points, bool qz) {
    Require(c.PointCount > 0 && c.PointCount == points && c.Angle.size() == c.PointCount);
    RequireFinite(c.Angle);
    RequireFinite(c.MeasuredIntensity);
    RequireFinite(c.Uncertainty);
    RequireFinite(c.CosSquared);
    for (int i = 1; i < c.PointCount; ++i) Require(c.Angle[i] >= c.Angle[i - 1]);
    for (double theta : c.Angle) Require(theta < 90.0 && (!qz || theta > -90.0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(AsText(data, size));
    WeightingState fraction;
    fraction.FractionWeights = true;
    WeightingState fresnel;
    fresnel.FresnelWeights = true;
    for (const bool errorsFromFile : {true, false}) {
        DataPoints points;
        try {
            points = ParseDataPoints(text, "data.dat", errorsFromFile);
        } catch (const RunError&) {
            continue;
        }
        for (const bool qz : {false, true}) {
            for (const WeightingState* weighting : {&fraction, &fresnel}) {
                try {
                    CurveArrays curves;
                    FillMeasuredCurves(points, qz, 1.54, *weighting, curves);
                    CheckCurves(curves, points.Points.size(), qz);
                } catch (const RunError&) {
                }
            }
        }
    }
    // The same text as a column file (ORSO or commented), each way its resolution column
    // may be read: what reads gives finite Qz and R and points that fill a curve.
    for (const bool fwhm : {false, true}) {
        try {
            const ColumnData data = ParseColumnFile(text, "data.ort", {.ResolutionIsFwhm = fwhm});
            Require(data.Curve.R.size() == data.Curve.Qz.size() && !data.Curve.Qz.empty());
            ReadWarnings warnings;
            const DataPoints points = ColumnDataPoints(data, true, warnings);
            CurveArrays curves;
            FillMeasuredCurves(points, true, 1.54, fresnel, curves);
            CheckCurves(curves, points.Points.size(), true);
        } catch (const RunError&) {
        }
    }
    return 0;
}
