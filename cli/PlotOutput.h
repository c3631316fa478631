#pragma once
// The --plot option: draws the last curves of a run into an SVG file.

#include <string>

#include "model/CurveArrays.h"

namespace korvel {
struct Workspace;
}

namespace korvel::cli {

// Whether this build can draw plots; when it cannot, --plot is refused as a usage
// error before any run starts, never silently ignored.
bool PlotOutputAvailable();

// Draws `curves` (the last ones the run drew) into `path`. Throws RunError on failure.
void WritePlotFile(const std::string& path, const Workspace& ws, const CurveArrays& curves);

}  // namespace korvel::cli
