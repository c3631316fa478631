#pragma once
// The session of a library fit, sampling or evaluation, filled from the problem as
// the readers fill a run's: settings and weighting from the problem's choices, the
// search, seed and threads from the control, then data, model and limits with the
// readers' checks (the free parameters built, the random generator seeded).

#include "korvel/korvel.h"

namespace korvel {
struct FitSession;
}  // namespace korvel

namespace korvel::api {

void SetUpSession(FitSession& session, const FitProblem& problem, const FitControl& control);

}  // namespace korvel::api
