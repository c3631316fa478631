// The inputs of a fitting run read from their files, with the dialogs that come
// between them and the checks of the files the run will write.

#include "app/FitInputs.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "app/CommandFile.h"
#include "app/RunInterface.h"
#include "app/Workspace.h"
#include "base/NumberStream.h"
#include "base/RunError.h"
#include "base/TextFile.h"
#include "fit/CurveEvaluation.h"
#include "fit/StartingSimplex.h"
#include "input/ColumnFile.h"
#include "input/DataReader.h"
#include "input/LimitsReader.h"
#include "input/ModelReader.h"
#include "model/RunFilePath.h"

namespace korvel {
namespace {

constexpr double kDefaultErrorFraction = 0.03;
// Specular reflectivity is rarely measured above a few degrees; data read as Qz that
// reach beyond this are most likely angles in degrees read with the wrong "Qz Format".
constexpr double kUnusualQzAngle = 15.0;

// The weighting dialog and the weights it chooses.
void AskWeighting(Workspace& ws, RunInterface& ui) {
    WeightingState& w = ws.Weighting;
    ui.ShowWeightingDialog(ws.WeightingDialog);
    if (ws.WeightingDialog.NormaRadioGroup == 0) {
        w.FresnelWeights = true;
    } else {
        w.FractionWeights = true;
        const auto d = ParseRealTrimmed(ws.WeightingDialog.FracEdit);
        w.ErrorFraction = d && *d > 0.0 ? *d : kDefaultErrorFraction;
    }
}

void SetWeighting(Workspace& ws, RunInterface& ui) {
    WeightingState& w = ws.Weighting;
    w.FresnelWeights = false;
    w.FractionWeights = false;
    if (ws.Settings.ErrorsFromFile) return;
    AskWeighting(ws, ui);
}

// The limits file must be there before any time is spent; the result files are formed
// beside the model and checked without truncating: a failed run must not destroy the
// results of an earlier one.
void CheckFitFiles(Workspace& ws) {
    const RunSettings& s = ws.Settings;
    ws.Inputs.CheckReadable(RunFilePath(s, s.LimitsFileName));

    const std::string modelPath = RunFilePath(s, s.ModelFileName);
    ws.Files.FittedCurveFile = WithExtension(modelPath, ".pct");
    ws.Files.ResultModelFile = WithExtension(modelPath, ".bst");
    ws.Files.LocalRunFile = WithExtension(modelPath, ".loc");
    // A model named like a result (an earlier fit's .bst used as the new start, say) would be
    // replaced by the run's own results; so would a data or limits file named that way.
    for (const std::string& result :
         {ws.Files.FittedCurveFile, ws.Files.ResultModelFile, ws.Files.LocalRunFile})
        for (const std::string& input :
             {modelPath, RunFilePath(s, s.DataFileName), RunFilePath(s, s.LimitsFileName)})
            if (SameFile(result, input))
                throw RunError("An input file would be overwritten by a result file.", result);
    CheckCreatable(ws.Files.FittedCurveFile);
    CheckCreatable(ws.Files.ResultModelFile);
    CheckCreatable(ws.Files.LocalRunFile);
    ws.Files.McmcFile.clear();
    if (ws.Options.Search.McmcSteps > 0) {
        ws.Files.McmcFile = WithExtension(modelPath, ".mcmc.csv");
        CheckExtraOutput(
            ws.Files.McmcFile,
            {s.CommandFileName, modelPath, RunFilePath(s, s.DataFileName),
             RunFilePath(s, s.LimitsFileName)},
            {ws.Files.FittedCurveFile, ws.Files.ResultModelFile, ws.Files.LocalRunFile});
    }
    const std::vector<std::string> inputs = {s.CommandFileName, modelPath,
                                             RunFilePath(s, s.DataFileName),
                                             RunFilePath(s, s.LimitsFileName)};
    std::vector<std::string> results = {ws.Files.FittedCurveFile, ws.Files.ResultModelFile,
                                        ws.Files.LocalRunFile};
    if (!ws.Options.PlotFile.empty()) {
        CheckExtraOutput(ws.Options.PlotFile, inputs, results);
        results.push_back(ws.Options.PlotFile);
    }
    // The curves file written after the run: neither an input, a result nor the plot.
    if (!ws.Options.OrtFile.empty()) {
        CheckExtraOutput(ws.Options.OrtFile, inputs, results);
        results.push_back(ws.Options.OrtFile);
    }
    for (const std::string& report : ws.Options.ReportFiles)
        CheckExtraOutput(report, inputs, results, "report file");
}

// A column file (ORSO or commented): Qz always, converted with the model's wavelength;
// the weighting dialog only when the file gives no uncertainties the run takes. What was
// read, assumed and left out, and which resolution the fit smears with, go to the
// warnings.
void ReadColumnDataFile(Workspace& ws, RunInterface& ui, const std::string& text,
                        const std::string& dataPath) {
    const RunSettings& s = ws.Settings;
    const ColumnData data = ParseColumnFile(
        text, dataPath, {.DataSet = ws.Options.DataSet, .ResolutionIsFwhm = ws.Options.ResolutionIsFwhm});
    ReadWarnings warnings = data.Warnings;
    ws.DataSetName = data.Curve.Name;
    const DataPoints points = ColumnDataPoints(data, s.ErrorsFromFile, warnings);

    const std::string modelPath = RunFilePath(s, s.ModelFileName);
    ParseModelHeader(ws.Inputs.Read(modelPath), modelPath, ws.Model);
    CompareWavelength(data, ws.Model.Header.Wavelength, warnings);

    ws.Weighting.FresnelWeights = false;
    ws.Weighting.FractionWeights = false;
    if (!points.WithUncertainties) AskWeighting(ws, ui);
    FillMeasuredCurves(points, true, ws.Model.Header.Wavelength, ws.Weighting, ws.Curves);

    // Refuses the data's resolution asked for when the file gives none, before any work.
    const std::string resolution =
        UsesDataResolution(ws) ? "the data's (a Gaussian of each point's width in Qz)"
                               : "the model's resolution laws";
    warnings.Add(ColumnDataSummary(data, points) + "; resolution: " + resolution + ".");
    for (std::string& warning : warnings.Texts) ws.Warnings.Add(std::move(warning));
}

// A warning when data read as Qz reach an angle no specular measurement reaches.
void WarnOfUnusualQzAngles(const Workspace& ws, const std::string& dataPath, RunInterface& ui) {
    if (!ws.Settings.QzInverseAngstrom) return;
    double highest = 0.0;
    for (int i = 0; i < ws.Curves.PointCount; ++i) highest = std::max(highest, ws.Curves.Angle[i]);
    if (!(highest > kUnusualQzAngle)) return;
    char buffer[32];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, highest, std::chars_format::fixed, 1);
    const std::string angle(buffer, written.ptr);
    ui.ShowWarning(dataPath + ": the abscissae, read as Qz in 1/A (\"Qz Format\"), reach a " +
                   "glancing angle of " + angle +
                   " degrees, unusual for specular data: are they angles in degrees?");
}

}  // namespace

void ReadDataFile(Workspace& ws, RunInterface& ui) {
    const RunSettings& s = ws.Settings;
    const std::string dataPath = RunFilePath(s, s.DataFileName);
    const std::string text = ReadWholeFile(dataPath);

    if (IsColumnFile(dataPath, text)) {
        ReadColumnDataFile(ws, ui, text, dataPath);
        CheckFitFiles(ws);
        ws.Fit.FitLogEnabled = ws.Options.CreateFitLog;
        return;
    }

    if (ws.Options.DataSet != 1)
        throw RunError("The data file holds 1 data set: there is no data set " +
                           std::to_string(ws.Options.DataSet) + ".",
                       dataPath);
    ws.DataSetName.clear();
    SetWeighting(ws, ui);
    const DataPoints data = ParseDataPoints(text, dataPath, s.ErrorsFromFile);

    // Qz is converted with the wavelength of the model this run will read: the one
    // named now, which the dialog may have changed since the command file was read.
    if (s.QzInverseAngstrom) {
        const std::string modelPath = RunFilePath(s, s.ModelFileName);
        ParseModelHeader(ws.Inputs.Read(modelPath), modelPath, ws.Model);
    }
    FillMeasuredCurves(data, s.QzInverseAngstrom, ws.Model.Header.Wavelength, ws.Weighting,
                       ws.Curves);
    UsesDataResolution(ws);  // refuses the data's resolution asked of a .dat file
    WarnOfUnusualQzAngles(ws, dataPath, ui);

    CheckFitFiles(ws);
    // The fitting log follows the options ("  Create Log file of fitting"); off by default.
    ws.Fit.FitLogEnabled = ws.Options.CreateFitLog;
}

void ReadModelAndLimits(Workspace& ws) {
    const RunSettings& s = ws.Settings;
    const std::string modelPath = RunFilePath(s, s.ModelFileName);
    ws.Model = ParseModel(ws.Inputs.Read(modelPath), modelPath, s.DensityUnits, ws.Warnings);
    LayerModel start = ws.Model;
    const std::string limitsPath = RunFilePath(s, s.LimitsFileName);
    LimitsTable limits =
        ParseLimits(ws.Inputs.Read(limitsPath), limitsPath, ws.Model.ParameterCount);
    BuildFreeParameters(ws, limits);
    // The start with the links the fit applies, but every value as read.
    start.ParameterSlots = ws.Model.ParameterSlots;
    ws.StartModel = std::move(start);
    ws.Limits = std::move(limits);
}

std::optional<ResultSetWriter> ReadFitInputs(Workspace& ws, RunInterface& ui) {
    ReadCommandFile(ws);
    SettingsToDialog(ws.Settings, ws.CommandFileDialog);
    CommandFileDialogRecord shown = ws.CommandFileDialog;
    if (!ui.ShowCommandFileDialog(shown)) return std::nullopt;
    ws.CommandFileDialog = shown;
    DialogToSettings(ws.CommandFileDialog, ws.Settings);
    ws.Warnings = ReadWarnings{};
    // The user has seen and accepted both choices: they are no longer the simulation's.
    ws.CommandFileDialog.QzFormatFromSimulation = false;
    ws.CommandFileDialog.DensityUnitsFromSimulation = false;
    ReadDataFile(ws, ui);
    ResultSetWriter results(
        {ws.Files.ResultModelFile, ws.Files.FittedCurveFile, ws.Files.LocalRunFile});
    ReadModelAndLimits(ws);  // refuses more than 99 free parameters
    for (const std::string& warning : ws.Warnings.Texts) ui.ShowWarning(warning);
    return results;
}

}  // namespace korvel
