// Column data files (ORSO text and commented columns) read into a curve, and a fit's
// curves written as ORSO text.

#include <cmath>
#include <string>
#include <vector>

#include "api/Conversion.h"
#include "base/RunError.h"
#include "input/ColumnFile.h"
#include "input/DataReader.h"
#include "input/ModelReader.h"
#include "korvel/korvel.h"
#include "output/OrtText.h"

namespace korvel::api {

bool IsColumnData(const std::string& name, const std::string& text) {
    return IsColumnFile(name, text);
}

ColumnDataRead ParseColumnData(const std::string& text, const std::string& name,
                               double wavelength, int dataSet, bool resolutionIsFwhm) {
    const ColumnData data = ParseColumnFile(
        text, name, {.DataSet = dataSet, .ResolutionIsFwhm = resolutionIsFwhm});
    ReadWarnings warnings = data.Warnings;
    const DataPoints points = ColumnDataPoints(data, true, warnings);

    ColumnDataRead read;
    if (data.WavelengthMin && data.WavelengthMax && *data.WavelengthMin == *data.WavelengthMax)
        read.FileWavelength = *data.WavelengthMin;
    if (!std::isfinite(wavelength))
        throw RunError("Invalid numeric input", name + ": the wavelength");
    if (wavelength == 0.0) {
        if (!read.FileWavelength)
            throw RunError("The data file gives no single wavelength: give the one to turn "
                           "Qz into angles with.",
                           name);
        wavelength = *read.FileWavelength;
    } else {
        CheckWavelength(wavelength, name + ": the wavelength");
        CompareWavelength(data, wavelength, warnings);
    }

    CurveArrays curves;
    FillMeasuredCurves(points, true, wavelength, WeightingState{}, curves);
    const std::size_t n = curves.PointCount;
    read.Data = ToCurve(std::span(curves.Angle.data(), n),
                        std::span(curves.MeasuredIntensity.data(), n),
                        points.WithUncertainties ? std::span(curves.Uncertainty.data(), n)
                                                 : std::span<const double>());
    read.Data.Resolution = curves.Resolution;
    read.Wavelength = wavelength;
    read.DataSet = data.Curve.Name;
    read.DataSets = data.DataSets;
    read.Warnings = std::move(warnings.Texts);
    return read;
}

std::string FormatOrt(const FitProblem& problem, const FitResult& result,
                      const std::string& program) {
    const Curve& data = result.Measured;
    const std::size_t n = data.Theta.size();
    if (data.Intensity.size() != n || result.Smeared.Intensity.size() != n ||
        (!data.Uncertainty.empty() && data.Uncertainty.size() != n) ||
        (!data.Resolution.empty() && data.Resolution.size() != n))
        throw RunError("The fit result's curves differ in length.", "ORSO text");
    const double wavelength = result.Fitted.Wavelength;
    CheckWavelength(wavelength, "ORSO text: the wavelength");

    ColumnCurve measured;
    for (std::size_t i = 0; i < n; ++i) {
        measured.Qz.push_back(AngleToQz(data.Theta[i], wavelength));
        measured.R.push_back(data.Intensity[i]);
    }
    // Weights the fit chose (Fresnel, a fraction of I) are no measured uncertainty.
    if (problem.Weights == Weighting::FromData) measured.dR = data.Uncertainty;
    measured.dQz = data.Resolution;

    const bool dataResolution = !data.Resolution.empty() &&
                                problem.Resolution != ResolutionSource::Model;
    OrtHeader header;
    header.Program = program;
    header.Version = kVersion;
    header.ModelFile = result.ModelFileName;
    header.DataFile = result.DataFileName;
    header.Wavelength = wavelength;
    header.Resolution = dataResolution
                            ? "the data's: a Gaussian of each point's sQz"
                            : "the model's resolution laws (wavelength spread, two linear laws "
                              "in angle)";
    return korvel::FormatOrt(header, measured, result.Smeared.Intensity);
}

}  // namespace korvel::api
