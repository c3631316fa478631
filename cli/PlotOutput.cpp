// The --plot writer: the plot window's drawing, at the window's initial size, as SVG.

#include "cli/PlotOutput.h"

#include "output/SvgCanvas.h"
#include "base/TextFile.h"

namespace korvel::cli {

bool PlotOutputAvailable() { return true; }

void WritePlotFile(const std::string& path, const Workspace&, const CurveArrays& curves) {
    ReplaceFile(path, PlotToSvg(curves));
}

}  // namespace korvel::cli
