// The fitting run: settings, data, model and limits; then the fit itself with its
// progress on the display, its results written at the moments the fit hands them
// over, and the run's closing message.

#include "app/FittingRun.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "app/CommandFile.h"
#include "app/FitFiles.h"
#include "app/RunInterface.h"
#include "app/RunInterfaceObserver.h"
#include "app/Workspace.h"
#include "base/ResultSetWriter.h"
#include "base/RunError.h"
#include "fit/FitProgress.h"
#include "fit/FitRun.h"
#include "input/DataReader.h"
#include "input/LimitsReader.h"

namespace korvel {

namespace {

constexpr const char* kHiddenCaption = "      ";

// The seed of one run: the one asked for, or else the clock's, which the readers use
// and the session reports, so that any run can be repeated. The option itself is
// given back when the run ends: the next run takes the clock again.
class RunSeed {
  public:
    explicit RunSeed(Workspace& ws) : ws_(ws), asked_(ws.Options.Seed) {
        ws.Fit.Seed = asked_ ? *asked_
                             : static_cast<std::uint64_t>(
                                   std::chrono::system_clock::now().time_since_epoch().count());
        ws.Options.Seed = ws.Fit.Seed;
    }
    ~RunSeed() { ws_.Options.Seed = asked_; }
    RunSeed(const RunSeed&) = delete;
    RunSeed& operator=(const RunSeed&) = delete;

  private:
    Workspace& ws_;
    std::optional<std::uint64_t> asked_;
};

void RunFittingSteps(Workspace& ws, RunInterface& ui, FitObserver& display, FitStop& stop) {
    FreeParameters& free = ws.Free;
    FitState& fit = ws.Fit;
    free.VertexHoldsValues = false;
    fit.BestVertex = 1;
    ws.Files.Written = false;
    ws.Inputs.Clear();

    ReadCommandFile(ws);
    SettingsToDialog(ws.Settings, ws.CommandFileDialog);
    ui.ShowCommandFileDialog(ws.CommandFileDialog);
    DialogToSettings(ws.CommandFileDialog, ws.Settings);
    ReadDataFile(ws, ui);
    // Held to the end of the run, Newton and uncertainty sections included.
    ResultSetWriter results(
        {ws.Files.ResultModelFile, ws.Files.FittedCurveFile, ws.Files.LocalRunFile});
    fit.FitLogEnabled = ws.Options.CreateFitLog;
    ws.Warnings = ReadWarnings{};
    ReadModelAndLimits(ws);  // refuses more than 99 free parameters
    for (const std::string& warning : ws.Warnings.Texts) ui.ShowWarning(warning);

    FitFileWriter files(ws, results, fit.FitLogEnabled ? ws.FitLogFile : std::string(), display);
    RunFit(ws, files, stop);

    ui.SetDrawEnabled(false);
    ui.ShowMessage("Done!!!   Press OK to continue");
}

}  // namespace

void RunFitting(Workspace& ws, RunInterface& ui) {
    FitStop stop;
    RunInterfaceObserver window(ui, stop);
    RunFitting(ws, ui, window, stop);
}

void RunFitting(Workspace& ws, RunInterface& ui, FitObserver& display, FitStop& stop) {
    RunSeed seed(ws);
    try {
        RunFittingSteps(ws, ui, display, stop);
    } catch (...) {
        // A failed run leaves no run window or hint behind.
        ws.Fit.SkipFigureOfMerit = false;
        ws.Fit.ReferencePoint.clear();
        ui.ShowSimplexInitialization(false);
        ui.ShowFittingInformation(false);
        ui.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
        ui.SetDrawEnabled(false);
        RethrowWithPlace(RunFilePath(ws.Settings, ws.Settings.ModelFileName));
    }
}

}  // namespace korvel
