#pragma once
// The user's stop between two curve evaluations of the phases that run no simplex (the
// starting simplex, the Newton step, the uncertainty estimate): Ctrl+Q in the window,
// Ctrl+C on the command line. Checked before every evaluation, so a stop acts within
// one evaluation however long the phase is. Ctrl+X ends only a simplex run; it stays
// in LastKey for the next one.

#include "app/RunInterface.h"
#include "fit/Simplex.h"

namespace korvel {

// True (and LastKey cleared) when Ctrl+Q has been typed.
inline bool UserAskedToStop(RunInterface& ui) {
    ui.ProcessEventsBetweenEvaluations();
    if (ui.LastKey() != kCtrlQ) return false;
    ui.ClearLastKey();
    return true;
}

}  // namespace korvel
