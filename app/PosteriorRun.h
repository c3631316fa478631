#pragma once
// The posterior sampling after a fitting run: the sampler on the fitted session, its
// chain written to MODEL.mcmc.csv beside the model (put into place whole, never
// truncated by a failure).

#include "fit/PosteriorSampling.h"

namespace korvel {

struct Workspace;

// Needs a fitting run with Options.Search.McmcSteps > 0 before it (which named and
// checked Files.McmcFile). Throws RunError naming the model file.
PosteriorSample RunPosteriorSampling(Workspace& ws, FitObserver& observer, FitStop& stop);

}  // namespace korvel
