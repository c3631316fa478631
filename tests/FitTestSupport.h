#pragma once
// Small helpers for the fitting tests: a workspace whose simplex is filled by hand,
// a temporary working folder, and the fit's phases driven as the desktop program
// drives them (through the window adapter on a run interface).

#include <vector>

#include "TestFiles.h"
#include "app/FitFiles.h"
#include "app/RunInterface.h"
#include "app/RunInterfaceObserver.h"
#include "app/Workspace.h"
#include "fit/FitProgress.h"
#include "fit/GlobalSearch.h"
#include "fit/NewtonStep.h"
#include "fit/Simplex.h"
#include "fit/Uncertainty.h"

namespace korvel::testing {

// A workspace with the given vertices (angles) and no model behind them.
inline Workspace SimplexWorkspace(const std::vector<std::vector<double>>& vertices) {
    Workspace ws;
    ws.Free.FreeCount = static_cast<std::uint16_t>(vertices.empty() ? 0 : vertices[0].size());
    ws.Free.AllocateSimplex();
    ws.Free.Vertices = vertices;
    ws.Free.FreeFlags.assign(4 * ws.Free.FreeCount, false);
    for (int k = 0; k < ws.Free.FreeCount; ++k) ws.Free.FreeFlags[4 * k] = true;
    return ws;
}

// Runs in a fresh temporary folder and returns to the previous one at the end.
class TemporaryDirectory {
  public:
    TemporaryDirectory() : previous_(fs::current_path()) { fs::current_path(folder_.Root()); }
    ~TemporaryDirectory() { fs::current_path(previous_); }
    const fs::path& Path() const { return folder_.Root(); }

  private:
    TempFolder folder_;
    fs::path previous_;
};

// What the desktop program puts between a fit phase and its windows: the adapter that
// shows the progress on `ui` and turns its keys into stop requests, behind the writer
// of the fitting log, which the program keeps in its working folder.
struct WindowDriver {
    WindowDriver(Workspace& ws, RunInterface& ui)
        : Window(ui, Stop), Files(ws, ws.Fit.FitLogEnabled ? "fitlog.txt" : "", Window) {}
    FitStop Stop;
    RunInterfaceObserver Window;
    FitFileWriter Files;
};

}  // namespace korvel::testing

namespace korvel {

// The phases of a fit as the program's windows drive them.
inline int RunSimplex(Workspace& ws, RunInterface& ui, SimplexVariant variant,
                      const Objective& objective) {
    testing::WindowDriver driver(ws, ui);
    return RunSimplex(ws, driver.Files, driver.Stop, variant, objective);
}

inline void GlobalSearchStep(Workspace& ws, RunInterface& ui, const Objective& merit) {
    testing::WindowDriver driver(ws, ui);
    GlobalSearchStep(ws, driver.Files, driver.Stop, merit);
}

inline bool NewtonStep(Workspace& ws, RunInterface& ui, const Objective& merit) {
    testing::WindowDriver driver(ws, ui);
    return NewtonStep(ws, driver.Files, driver.Stop, merit);
}

// The uncertainty estimate with its table appended to the result model file, as the
// run writes it, and no window.
inline std::vector<double> EstimateUncertainties(Workspace& ws, const CurveEvaluator& evaluate) {
    FitStop stop;
    FitObserver none;
    FitFileWriter files(ws, "", none);
    return EstimateUncertainties(ws, files, stop, evaluate);
}

}  // namespace korvel
