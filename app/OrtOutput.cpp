// A fit's curves as the ORSO text format.

#include "app/OrtOutput.h"

#include "app/Workspace.h"
#include "fit/CurveEvaluation.h"
#include "input/ModelReader.h"
#include "model/RunFilePath.h"
#include "output/OrtText.h"

namespace korvel {

std::string FittedCurvesOrt(const Workspace& ws, const std::string& program,
                            const std::string& version) {
    const CurveArrays& curves = ws.Curves;
    const double wavelength = ws.Model.Header.Wavelength;
    ColumnCurve measured;
    measured.Name = ws.DataSetName;
    for (int i = 0; i < curves.PointCount; ++i) {
        measured.Qz.push_back(AngleToQz(curves.Angle[i], wavelength));
        measured.R.push_back(curves.MeasuredIntensity[i]);
    }
    // Weights the program chose (Fresnel, a fraction of I) are no measured uncertainty.
    if (!ws.Weighting.FresnelWeights && !ws.Weighting.FractionWeights)
        measured.dR.assign(curves.Uncertainty.begin(), curves.Uncertainty.end());
    measured.dQz = curves.Resolution;

    OrtHeader header;
    header.Program = program;
    header.Version = version;
    header.ModelFile = RunFilePath(ws.Settings, ws.Settings.ModelFileName);
    header.DataFile = RunFilePath(ws.Settings, ws.Settings.DataFileName);
    header.Wavelength = wavelength;
    header.Resolution = UsesDataResolution(ws)
                            ? "the data's: a Gaussian of each point's sQz"
                            : "the model's resolution laws (wavelength spread, two linear laws "
                              "in angle)";
    return FormatOrt(header, measured, curves.BestCurve);
}

}  // namespace korvel
