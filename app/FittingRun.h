#pragma once
// The whole fitting run, from the command file to the result files.

namespace korvel {

struct Workspace;
class RunInterface;

void RunFitting(Workspace& ws, RunInterface& ui);

}  // namespace korvel
