#pragma once
// The whole fitting run, from the command file to the result files.

namespace korvel {

struct FitStop;
struct Workspace;
class FitObserver;
class RunInterface;

enum class FittingOutcome {
    Finished,   // the fit ran and its result files are in place
    Cancelled,  // the "Command File Parameters" dialog was closed without OK: no data was
                // read, no result file touched, no message shown
};

// The run with its progress, keys and questions on the window-shaped interface.
FittingOutcome RunFitting(Workspace& ws, RunInterface& ui);
// The run with the dialogs, warnings and messages on `ui` and the fit's progress and
// questions on `display`; `stop` ends the search or a simplex run. A run that cannot
// go on throws RunError.
FittingOutcome RunFitting(Workspace& ws, RunInterface& ui, FitObserver& display, FitStop& stop);

}  // namespace korvel
