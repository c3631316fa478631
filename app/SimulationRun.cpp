// The simulation run: reflectivity of one model on a regular grid of glancing
// angles (degrees) or Qz values (1/A), drawn and written to the .sml file beside
// the model. Each .sml line is the abscissa and the smeared reflectivity in E(15).

#include "app/SimulationRun.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "base/RunError.h"
#include "app/RunInterface.h"
#include "app/Workspace.h"
#include "fit/CurveEvaluation.h"
#include "input/ModelReader.h"
#include "base/NumberFormat.h"
#include "base/ResultSetWriter.h"
#include "base/TextFile.h"
#include "output/SimulationText.h"

namespace korvel {

namespace {

// The point count is held in 16 bits; a grid must never wrap to a smaller one.
constexpr long long kMaxPointCount = 65535;

// Clears the "compute the curves only" switch and disables "Draw" however the run ends.
class EvaluationScope {
  public:
    EvaluationScope(Workspace& ws, RunInterface& ui) : ws_(ws), ui_(ui) {}
    ~EvaluationScope() {
        ws_.Fit.SkipFigureOfMerit = false;
        if (drawEnabled_) ui_.SetDrawEnabled(false);
    }
    EvaluationScope(const EvaluationScope&) = delete;
    EvaluationScope& operator=(const EvaluationScope&) = delete;

    void EnableDraw() {
        ui_.SetDrawEnabled(true);
        drawEnabled_ = true;
    }
    void DisableDraw() {
        ui_.SetDrawEnabled(false);
        drawEnabled_ = false;
    }

  private:
    Workspace& ws_;
    RunInterface& ui_;
    bool drawEnabled_ = false;
};

// A value in the program's E(15) format, without the blank that stands for "+".
std::string Shown(double value) {
    std::string text = FormatE(value, 15);
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? text : text.substr(first);
}

struct Grid {
    double Lower = 0.0;
    double Upper = 0.0;
    std::uint16_t PointCount = 0;
};

// The dialog's clamping rules, and a clear refusal where the grid cannot exist.
Grid MakeGrid(const SimulationRequest& request) {
    if (!std::isfinite(request.Lower) || !std::isfinite(request.Upper))
        throw RunError("The grid limits must be finite numbers.",
                       "Qz MIN " + Shown(request.Lower) + ", Qz MAX " + Shown(request.Upper));
    Grid grid;
    grid.Lower = request.Lower < 0.0 ? 0.0 : request.Lower;
    grid.Upper = request.Upper < grid.Lower ? grid.Lower + 0.5 : request.Upper;

    // 0 intervals would divide by zero and -1 would give no point at all; any
    // more negative count gives the dialog's two-point grid.
    if (request.Intervals == 0 || request.Intervals == -1)
        throw RunError("The number of intervals must be at least 1.",
                       "# of intervals: " + std::to_string(request.Intervals));
    if (request.Intervals >= kMaxPointCount)
        throw RunError("Too many intervals: a curve holds at most 65535 points.",
                       "# of intervals: " + std::to_string(request.Intervals));
    const long long points = request.Intervals + 1;
    grid.PointCount = static_cast<std::uint16_t>(points < 0 ? 2 : points);
    return grid;
}

// Glancing angle of a grid value; a Qz beyond 4 pi / lambda has no angle.
double GridAngle(double x, const SimulationRequest& request, double wavelength) {
    if (!request.QzInverseAngstrom) return x;
    const double s = x * wavelength / (4.0 * std::numbers::pi);
    if (!(s < 1.0))
        throw RunError("Qz value has no glancing angle: Qz * lambda / (4 pi) is 1 or more.",
                       "Qz = " + Shown(x) + " 1/A at wavelength " + Shown(wavelength) + " A (" +
                           request.ModelFileName + ")");
    return QzToAngle(x, wavelength);
}

void FillGrid(Workspace& ws, const SimulationRequest& request, const Grid& grid) {
    CurveArrays& curves = ws.Curves;
    curves.Resize(grid.PointCount);
    const double wavelength = ws.Model.Header.Wavelength;
    for (int i = 1; i <= grid.PointCount; ++i) {
        const double x = grid.Lower + (grid.Upper - grid.Lower) * (i - 1) / (grid.PointCount - 1);
        const double theta = GridAngle(x, request, wavelength);
        // At 90 degrees the beam runs along the normal: cos^2 = 0 and the optics divide by
        // it; beyond, the angles fold back onto smaller ones.
        if (!(theta < 90.0))
            throw RunError("Glancing angle of 90 degrees or more.",
                           "grid value " + Shown(x) +
                               (request.QzInverseAngstrom ? " 1/A" : " deg") + " (" +
                               request.ModelFileName + ")");
        curves.Angle[i - 1] = theta;
        curves.CosSquared[i - 1] = CosSquaredOfAngle(theta);
        curves.MeasuredIntensity[i - 1] = 1.0;
        curves.Uncertainty[i - 1] = 0.01 * curves.MeasuredIntensity[i - 1];
    }
}

// No limits file: nothing is free or linked, and the one vertex is empty.
void ClearFreeParameters(Workspace& ws) {
    FreeParameters& free = ws.Free;
    free.StepPercent.assign(ws.Model.ParameterCount, 0.0);
    free.FreeFlags.assign(ws.Model.ParameterCount, false);
    free.FreeCount = 0;
    free.RepeatUnit = RepeatUnitConstraint{};
    free.AllocateSimplex();
    free.VertexHoldsValues = true;
}

}  // namespace

std::string RunSimulation(Workspace& ws, RunInterface& ui, const SimulationRequest& request) {
    ws.Free.VertexHoldsValues = true;
    ws.Fit.EvaluationCount = 0;
    ws.Inputs.Clear();

    // The header alone gives the wavelength for a Qz grid.
    const std::string& modelPath = request.ModelFileName;
    ParseModelHeader(ws.Inputs.Read(modelPath), modelPath, ws.Model);

    RunSettings& settings = ws.Settings;
    settings.CutOffLevel = 0.0;
    settings.CalculationMode = request.CalculationMode;
    settings.QzInverseAngstrom = request.QzInverseAngstrom;
    settings.DensityUnits = request.DensityUnits;
    // The next fit's dialog starts from these two; it says where they came from.
    ws.CommandFileDialog.QzFormatFromSimulation = true;
    ws.CommandFileDialog.DensityUnitsFromSimulation = true;

    const Grid grid = MakeGrid(request);
    FillGrid(ws, request, grid);

    // Checked before any computation; the file is replaced only once the curve is good.
    const std::string smlPath = WithExtension(request.ModelFileName, ".sml");
    // A model file named *.sml would be replaced by its own curve.
    if (SameFile(smlPath, request.ModelFileName))
        throw RunError("The model file would be overwritten by the simulated curve.", smlPath);
    CheckCreatable(smlPath);
    std::vector<std::string> outputs = {smlPath};
    if (!ws.Options.PlotFile.empty()) {
        CheckExtraOutput(ws.Options.PlotFile, {request.ModelFileName}, outputs);
        outputs.push_back(ws.Options.PlotFile);
    }
    for (const std::string& report : ws.Options.ReportFiles)
        CheckExtraOutput(report, {request.ModelFileName}, outputs, "profile file");
    ResultSetWriter results({smlPath});

    ws.Warnings = ReadWarnings{};
    ws.Model = ParseModel(ws.Inputs.Read(modelPath), modelPath, settings.DensityUnits, ws.Warnings);
    for (const std::string& warning : ws.Warnings.Texts) ui.ShowWarning(warning);
    settings.RepeatUnitFixed = false;
    ClearFreeParameters(ws);

    std::string content;
    {
        EvaluationScope scope(ws, ui);
        scope.EnableDraw();
        ui.ShowPlotWindow();

        ws.Fit.SkipFigureOfMerit = true;
        try {
            EvaluateCurve(ws, ws.Free.Vertices[0]);
        } catch (...) {
            RethrowWithPlace(request.ModelFileName);
        }
        ws.Fit.SkipFigureOfMerit = false;

        // The plot's data curve is the computed curve itself.
        ws.Curves.MeasuredIntensity = ws.Curves.CalculatedCurve;
        const CurveArrays& curves = ws.Curves;
        content = SmlText(std::span(curves.Angle.data(), curves.PointCount),
                          std::span(curves.SmearedCurve.data(), curves.PointCount),
                          request.QzInverseAngstrom, ws.Model.Header.Wavelength,
                          request.ModelFileName);
        ui.DrawPlot(ws.Curves);
        scope.DisableDraw();
    }

    // The curves, the vertex and the model stay in the workspace until the next run
    // replaces them, so the plot window can still repaint them.
    results.Write(smlPath, content);
    results.Commit();
    return smlPath;
}

}  // namespace korvel
