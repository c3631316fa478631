#pragma once
// The .lmt limits file: bounds, step percentages and links; builds the free-parameter
// vector, the repeat-unit constraint and the random starting simplex in angles.

namespace korvel {

struct Workspace;

void ReadModelAndLimits(Workspace& ws);

}  // namespace korvel
