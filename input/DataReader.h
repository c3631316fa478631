#pragma once
// The .dat data file and the residual weights; also forms the result file names
// and checks that the limits file and the result files can be used.

namespace korvel {

struct Workspace;
class RunInterface;

void ReadDataFile(Workspace& ws, RunInterface& ui);

}  // namespace korvel
