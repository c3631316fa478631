#pragma once
// The whole fitting run, from the command file to the result files.

namespace korvel {

struct FitStop;
struct Workspace;
class FitObserver;
class RunInterface;

// The run with its progress, keys and questions on the window-shaped interface.
void RunFitting(Workspace& ws, RunInterface& ui);
// The run with the dialogs, warnings and messages on `ui` and the fit's progress and
// questions on `display`; `stop` ends the search or a simplex run.
void RunFitting(Workspace& ws, RunInterface& ui, FitObserver& display, FitStop& stop);

}  // namespace korvel
