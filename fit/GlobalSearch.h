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
class RunInterface;

// Highest tunnelling exponent tried before the step gives up.
inline constexpr int kMaxTunnellingExponent = 40;

// Texts of the termination message field when the step gives up at one of its bounds
// (34 characters, like the simplex's). A global step writes the field only then, never
// inside a simplex run, so the field's reader can tell the two apart.
inline constexpr const char* kClimbStepLimitMessage = "Climb step limit reached.         ";
inline constexpr const char* kRespreadLimitMessage = "Re-spread limit reached.          ";

// `merit` is the figure of merit of a vertex of angles. The uniform numbers of the
// spread come from ws.Random; ws.Options.MaxRespreads (-1: none) bounds the number
// of fresh spreads after a distance flag. Giving up at that bound or at the climb's
// step cap is said in the termination message field.
void GlobalSearchStep(FitSession& ws, RunInterface& ui, const Objective& merit);
void GlobalSearchStep(FitSession& ws, RunInterface& ui);

}  // namespace korvel
