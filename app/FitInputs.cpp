// The inputs of a fitting run read from their files, with the dialogs that come
// between them and the checks of the files the run will write.

#include "app/FitInputs.h"

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
    if (!ws.Options.PlotFile.empty())
        CheckExtraOutput(
            ws.Options.PlotFile, inputs,
            {ws.Files.FittedCurveFile, ws.Files.ResultModelFile, ws.Files.LocalRunFile});
    // The curves file written after the run: neither an input, a result nor the plot.
    if (!ws.Options.OrtFile.empty())
        CheckExtraOutput(ws.Options.OrtFile, inputs,
                         {ws.Files.FittedCurveFile, ws.Files.ResultModelFile,
                          ws.Files.LocalRunFile, ws.Options.PlotFile});
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

    CheckFitFiles(ws);
    // The fitting log follows the options ("  Create Log file of fitting"); off by default.
    ws.Fit.FitLogEnabled = ws.Options.CreateFitLog;
}

void ReadModelAndLimits(Workspace& ws) {
    const RunSettings& s = ws.Settings;
    const std::string modelPath = RunFilePath(s, s.ModelFileName);
    ws.Model = ParseModel(ws.Inputs.Read(modelPath), modelPath, s.DensityUnits, ws.Warnings);
    const std::string limitsPath = RunFilePath(s, s.LimitsFileName);
    const LimitsTable limits =
        ParseLimits(ws.Inputs.Read(limitsPath), limitsPath, ws.Model.ParameterCount);
    BuildFreeParameters(ws, limits);
}

ResultSetWriter ReadFitInputs(Workspace& ws, RunInterface& ui) {
    ReadCommandFile(ws);
    SettingsToDialog(ws.Settings, ws.CommandFileDialog);
    ui.ShowCommandFileDialog(ws.CommandFileDialog);
    DialogToSettings(ws.CommandFileDialog, ws.Settings);
    ws.Warnings = ReadWarnings{};
    ReadDataFile(ws, ui);
    ResultSetWriter results(
        {ws.Files.ResultModelFile, ws.Files.FittedCurveFile, ws.Files.LocalRunFile});
    ReadModelAndLimits(ws);  // refuses more than 99 free parameters
    for (const std::string& warning : ws.Warnings.Texts) ui.ShowWarning(warning);
    return results;
}

}  // namespace korvel
