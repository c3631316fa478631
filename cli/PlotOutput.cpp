// Placeholder of the --plot writer until the plot's drawing procedure and its SVG
// canvas are part of the core.

#include "cli/PlotOutput.h"

#include "app/RunError.h"

namespace korvel::cli {

bool PlotOutputAvailable() { return false; }

void WritePlotFile(const std::string& path, const Workspace&, const CurveArrays&) {
    throw RunError("Plot output is not available in this build.", path);
}

}  // namespace korvel::cli
