#pragma once
// One global step of the search by tunnelling: from the minimum of the last local
// run (the reference point) climb out of its basin along the steepest edge of the
// simplex, then minimise the tunnelling objective, which is negative only where the
// figure of merit lies below the reference value. On success the simplex holds a
// fresh start around the better point, with plain figures of merit; otherwise the
// best vertex is put back on the reference point and StopRequested is set.

#include "fit/Objective.h"

namespace korvel {

struct FitSession;
struct FitStop;
class FitObserver;

// Highest tunnelling exponent tried before the step gives up.
inline constexpr int kMaxTunnellingExponent = 40;

// Termination texts when the step gives up at one of its bounds (34 characters, like
// the simplex's), reported as the end of the global step itself (FitPhase::GlobalStep)
// with the codes kClimbStepLimit and kRespreadLimit.
inline constexpr const char* kClimbStepLimitMessage = "Climb step limit reached.         ";
inline constexpr const char* kRespreadLimitMessage = "Re-spread limit reached.          ";

// `merit` is the figure of merit of a vertex of angles. The uniform numbers of the
// spread come from ws.Random; ws.Options.MaxRespreads (-1: none) bounds the number
// of fresh spreads after a distance flag. Giving up at that bound or at the climb's
// step cap is reported to the observer. The stop request is read by the tunnelling runs.
void GlobalSearchStep(FitSession& ws, FitObserver& observer, FitStop& stop, const Objective& merit);
void GlobalSearchStep(FitSession& ws, FitObserver& observer, FitStop& stop);

}  // namespace korvel
