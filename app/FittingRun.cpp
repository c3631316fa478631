// The fitting run: settings, data, model and limits; then the fit itself with its
// progress on the display, its results written at the moments the fit hands them
// over, and the run's closing message.

#include "app/FittingRun.h"

#include <string>

#include "app/FitFiles.h"
#include "app/FitInputs.h"
#include "app/RunInterface.h"
#include "app/RunInterfaceObserver.h"
#include "app/Workspace.h"
#include "base/ResultSetWriter.h"
#include "base/RunError.h"
#include "fit/FitProgress.h"
#include "fit/FitRun.h"
#include "fit/GlobalFit.h"
#include "model/RunFilePath.h"

namespace korvel {

namespace {

constexpr const char* kHiddenCaption = "      ";

FittingOutcome RunFittingSteps(Workspace& ws, RunInterface& ui, FitObserver& display,
                               FitStop& stop) {
    FreeParameters& free = ws.Free;
    FitState& fit = ws.Fit;
    free.VertexHoldsValues = false;
    fit.BestVertex = 1;
    ws.Files.Written = false;
    ws.Inputs.Clear();

    // Holds the result files locked to the end of the run, Newton and uncertainty
    // sections included.
    std::optional<ResultSetWriter> results = ReadFitInputs(ws, ui);
    if (!results) return FittingOutcome::Cancelled;
    fit.FitLogEnabled = ws.Options.CreateFitLog;

    FitFileWriter files(ws, *results, fit.FitLogEnabled ? ws.FitLogFile : std::string(), display);
    ws.SearchSummary = RunFitWithSearch(ws, files, stop);

    ui.SetDrawEnabled(false);
    ui.ShowMessage("Done!!!   Press OK to continue");
    return FittingOutcome::Finished;
}

}  // namespace

FittingOutcome RunFitting(Workspace& ws, RunInterface& ui) {
    FitStop stop;
    RunInterfaceObserver window(ui, stop);
    return RunFitting(ws, ui, window, stop);
}

FittingOutcome RunFitting(Workspace& ws, RunInterface& ui, FitObserver& display, FitStop& stop) {
    try {
        return RunFittingSteps(ws, ui, display, stop);
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
