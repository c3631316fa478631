// The .dat data file: points of abscissa (theta in degrees, or Qz in 1/A) and
// intensity, with the intensity's uncertainty as a third number when the run takes
// the errors from the file. Also sets the residual weights, checks the limits file
// and the result files of the run, and forms the result file names.

#include "input/DataReader.h"

#include <string>
#include <vector>

#include "model/RunFilePath.h"
#include "base/RunError.h"
#include "app/RunInterface.h"
#include "app/Workspace.h"
#include "input/ModelReader.h"
#include "base/NumberStream.h"
#include "base/TextFile.h"

namespace korvel {
namespace {

constexpr double kDefaultErrorFraction = 0.03;
constexpr std::size_t kMostPoints = 65535;  // the point count is 16-bit

struct DataPoint {
    double abscissa = 0.0;
    double intensity = 0.0;
    double uncertainty = 0.0;
    int line = 0;
    std::string where;  // file, line and abscissa token, for messages
};

// Reads complete points only: a trailing line end never makes a point of zeros, and a
// file that stops inside a point is refused.
std::vector<DataPoint> ReadPoints(const std::string& text, const std::string& path,
                                  bool errorsFromFile) {
    NumberStream in(text, path);
    std::vector<DataPoint> points;
    const int perPoint = errorsFromFile ? 3 : 2;
    while (!in.AtEnd()) {
        if (points.size() == kMostPoints)
            throw RunError("Too many data points: at most 65535 are allowed.", path);
        DataPoint p;
        double* const numbers[3] = {&p.abscissa, &p.intensity, &p.uncertainty};
        for (int n = 0; n < perPoint; ++n) {
            if (n > 0 && in.AtEnd())
                throw RunError("Data file ends inside a point: " + std::to_string(n) + " of " +
                                   std::to_string(perPoint) + " numbers read.",
                               path + ", line " + std::to_string(p.line));
            *numbers[n] = in.ReadReal();
            if (n == 0) {
                p.line = in.Line();
                p.where = in.Where();
            }
        }
        points.push_back(std::move(p));
    }
    if (points.empty()) throw RunError("Data file holds no data points.", path);
    return points;
}

void SetWeighting(Workspace& ws, RunInterface& ui) {
    WeightingState& w = ws.Weighting;
    w.FresnelWeights = false;
    w.FractionWeights = false;
    if (ws.Settings.ErrorsFromFile) return;
    ui.ShowWeightingDialog(ws.WeightingDialog);
    if (ws.WeightingDialog.NormaRadioGroup == 0) {
        w.FresnelWeights = true;
    } else {
        w.FractionWeights = true;
        const auto d = ParseRealTrimmed(ws.WeightingDialog.FracEdit);
        w.ErrorFraction = d && *d > 0.0 ? *d : kDefaultErrorFraction;
    }
}

}  // namespace

void ReadDataFile(Workspace& ws, RunInterface& ui) {
    const RunSettings& s = ws.Settings;
    const std::string dataPath = RunFilePath(s, s.DataFileName);
    const std::string text = ReadWholeFile(dataPath);

    SetWeighting(ws, ui);
    const std::vector<DataPoint> points = ReadPoints(text, dataPath, s.ErrorsFromFile);

    // Qz is converted with the wavelength of the model this run will read: the one
    // named now, which the dialog may have changed since the command file was read.
    if (s.QzInverseAngstrom) {
        const std::string modelPath = RunFilePath(s, s.ModelFileName);
        ParseModelHeader(ws.Inputs.Read(modelPath), modelPath, ws.Model);
    }
    const double wavelength = ws.Model.Header.Wavelength;

    std::vector<double> angles(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const DataPoint& p = points[i];
        if (s.QzInverseAngstrom) {
            try {
                angles[i] = QzToAngle(p.abscissa, wavelength);
            } catch (const RunError& e) {
                throw RunError(e.Message(), p.where + " (" + e.Where() + ")");
            }
        } else {
            angles[i] = p.abscissa;
        }
        // At 90 degrees the beam runs along the normal: cos^2 = 0 and the optics divide by
        // it; beyond, the angles fold back onto smaller ones.
        if (!(angles[i] < 90.0)) throw RunError("Glancing angle of 90 degrees or more.", p.where);
        // The smearing walks along increasing angles; a decreasing one is a mistake in the file.
        if (i > 0 && angles[i] < angles[i - 1])
            throw RunError("Data points must be in increasing order of angle.", p.where);
    }
    // Nothing to scale onto and no mean intensity to normalise the figure of merit with
    // (W_Norma would be infinite).
    bool anyIntensity = false;
    for (const DataPoint& p : points) anyIntensity = anyIntensity || p.intensity != 0.0;
    if (!anyIntensity)
        throw RunError("Every measured intensity of the data file is 0: there is nothing to fit.",
                       dataPath);

    CurveArrays& c = ws.Curves;
    c.Resize(static_cast<std::uint16_t>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const DataPoint& p = points[i];
        c.Angle[i] = angles[i];
        c.CosSquared[i] = CosSquaredOfAngle(angles[i]);
        c.MeasuredIntensity[i] = p.intensity;
        if (s.ErrorsFromFile)
            c.Uncertainty[i] = p.uncertainty;
        else if (ws.Weighting.FractionWeights)
            c.Uncertainty[i] = p.intensity * ws.Weighting.ErrorFraction;
        else
            c.Uncertainty[i] = 1.0;  // "Freshnel law": the fitting run sets them
    }

    ws.Inputs.CheckReadable(RunFilePath(s, s.LimitsFileName));

    const std::string modelPath = RunFilePath(s, s.ModelFileName);
    ws.Files.FittedCurveFile = WithExtension(modelPath, ".pct");
    ws.Files.ResultModelFile = WithExtension(modelPath, ".bst");
    ws.Files.LocalRunFile = WithExtension(modelPath, ".loc");
    // A model named like a result (an earlier fit's .bst used as the new start, say) would be
    // replaced by the run's own results; so would a data or limits file named that way.
    for (const std::string& result :
         {ws.Files.FittedCurveFile, ws.Files.ResultModelFile, ws.Files.LocalRunFile})
        for (const std::string& input : {modelPath, RunFilePath(s, s.DataFileName),
                                         RunFilePath(s, s.LimitsFileName)})
            if (SameFile(result, input))
                throw RunError("An input file would be overwritten by a result file.", result);
    // Checked without truncating: a failed run must not destroy the results of an earlier one.
    CheckCreatable(ws.Files.FittedCurveFile);
    CheckCreatable(ws.Files.ResultModelFile);
    CheckCreatable(ws.Files.LocalRunFile);
    if (!ws.Options.PlotFile.empty())
        CheckExtraOutput(
            ws.Options.PlotFile,
            {s.CommandFileName, modelPath, RunFilePath(s, s.DataFileName),
             RunFilePath(s, s.LimitsFileName)},
            {ws.Files.FittedCurveFile, ws.Files.ResultModelFile, ws.Files.LocalRunFile});

    // The fitting log follows the options ("  Create Log file of fitting"); off by default.
    ws.Fit.FitLogEnabled = ws.Options.CreateFitLog;
}

}  // namespace korvel
