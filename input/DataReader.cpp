// The .dat data file read from its text into points, and the points into the curve
// arrays of a fit.

#include "input/DataReader.h"

#include "base/NumberStream.h"
#include "base/RunError.h"
#include "input/ModelReader.h"

namespace korvel {
namespace {

constexpr std::size_t kMostPoints = 65535;  // the point count is 16-bit

}  // namespace

// Reads complete points only: a trailing line end never makes a point of zeros, and a
// file that stops inside a point is refused.
DataPoints ParseDataPoints(const std::string& text, const std::string& path,
                           bool withUncertainties) {
    NumberStream in(text, path);
    DataPoints data;
    data.Path = path;
    data.WithUncertainties = withUncertainties;
    std::vector<DataPoint>& points = data.Points;
    const int perPoint = withUncertainties ? 3 : 2;
    while (!in.AtEnd()) {
        if (points.size() == kMostPoints)
            throw RunError("Too many data points: at most 65535 are allowed.", path);
        DataPoint p;
        int line = 0;
        double* const numbers[3] = {&p.Abscissa, &p.Intensity, &p.Uncertainty};
        for (int n = 0; n < perPoint; ++n) {
            if (n > 0 && in.AtEnd())
                throw RunError("Data file ends inside a point: " + std::to_string(n) + " of " +
                                   std::to_string(perPoint) + " numbers read.",
                               path + ", line " + std::to_string(line));
            *numbers[n] = in.ReadReal();
            if (n == 0) {
                line = in.Line();
                p.Where = in.Where();
            }
        }
        points.push_back(std::move(p));
    }
    if (points.empty()) throw RunError("Data file holds no data points.", path);
    return data;
}

void FillMeasuredCurves(const DataPoints& data, bool qz, double wavelength,
                        const WeightingState& weighting, CurveArrays& curves) {
    const std::vector<DataPoint>& points = data.Points;
    std::vector<double> angles(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const DataPoint& p = points[i];
        if (qz) {
            try {
                angles[i] = QzToAngle(p.Abscissa, wavelength);
            } catch (const RunError& e) {
                throw RunError(e.Message(), p.Where + " (" + e.Where() + ")");
            }
        } else {
            angles[i] = p.Abscissa;
        }
        // At 90 degrees the beam runs along the normal: cos^2 = 0 and the optics divide by
        // it; beyond, the angles fold back onto smaller ones.
        if (!(angles[i] < 90.0)) throw RunError("Glancing angle of 90 degrees or more.", p.Where);
        // The smearing walks along increasing angles; a decreasing one is a mistake in the file.
        if (i > 0 && angles[i] < angles[i - 1])
            throw RunError("Data points must be in increasing order of angle.", p.Where);
    }
    // Nothing to scale onto and no mean intensity to normalise the figure of merit with
    // (W_Norma would be infinite).
    bool anyIntensity = false;
    for (const DataPoint& p : points) anyIntensity = anyIntensity || p.Intensity != 0.0;
    if (!anyIntensity)
        throw RunError("Every measured intensity of the data file is 0: there is nothing to fit.",
                       data.Path);

    CurveArrays& c = curves;
    c.Resize(static_cast<std::uint16_t>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const DataPoint& p = points[i];
        c.Angle[i] = angles[i];
        c.CosSquared[i] = CosSquaredOfAngle(angles[i]);
        c.MeasuredIntensity[i] = p.Intensity;
        if (data.WithUncertainties)
            c.Uncertainty[i] = p.Uncertainty;
        else if (weighting.FractionWeights)
            c.Uncertainty[i] = p.Intensity * weighting.ErrorFraction;
        else
            c.Uncertainty[i] = 1.0;  // "Freshnel law": the fitting run sets them
    }
    if (data.WithResolution) {
        c.Resolution.resize(points.size());
        for (std::size_t i = 0; i < points.size(); ++i) c.Resolution[i] = points[i].Resolution;
    }
}

}  // namespace korvel
