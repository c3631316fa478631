// The inputs of a fitting run read from their files, with the dialogs that come
// between them and the checks of the files the run will write.

#include "app/FitInputs.h"

#include <string>

#include "app/CommandFile.h"
#include "app/RunInterface.h"
#include "app/Workspace.h"
#include "base/NumberStream.h"
#include "base/RunError.h"
#include "base/TextFile.h"
#include "fit/StartingSimplex.h"
#include "input/DataReader.h"
#include "input/LimitsReader.h"
#include "input/ModelReader.h"
#include "model/RunFilePath.h"

namespace korvel {
namespace {

constexpr double kDefaultErrorFraction = 0.03;

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
    if (!ws.Options.PlotFile.empty())
        CheckExtraOutput(
            ws.Options.PlotFile,
            {s.CommandFileName, modelPath, RunFilePath(s, s.DataFileName),
             RunFilePath(s, s.LimitsFileName)},
            {ws.Files.FittedCurveFile, ws.Files.ResultModelFile, ws.Files.LocalRunFile});
}

}  // namespace

void ReadDataFile(Workspace& ws, RunInterface& ui) {
    const RunSettings& s = ws.Settings;
    const std::string dataPath = RunFilePath(s, s.DataFileName);
    const std::string text = ReadWholeFile(dataPath);

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
    ReadDataFile(ws, ui);
    ResultSetWriter results(
        {ws.Files.ResultModelFile, ws.Files.FittedCurveFile, ws.Files.LocalRunFile});
    ws.Warnings = ReadWarnings{};
    ReadModelAndLimits(ws);  // refuses more than 99 free parameters
    for (const std::string& warning : ws.Warnings.Texts) ui.ShowWarning(warning);
    return results;
}

}  // namespace korvel
