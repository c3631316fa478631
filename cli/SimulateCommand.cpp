// `korvel-cli simulate`: the simulation run with the dialog's values taken from the
// command line.

#include <cstdio>

#include "app/RunReport.h"
#include "app/SimulationRun.h"
#include "base/TextFile.h"
#include "app/Workspace.h"
#include "cli/CliRunInterface.h"
#include "cli/Commands.h"
#include "cli/PlotOutput.h"

namespace korvel::cli {

int RunSimulateCommand(const SimulateOptions& options) {
    Workspace ws;
    CliRunInterface ui(DialogAnswers{}, /*quiet=*/false);

    SimulationRequest request;
    request.ModelFileName = options.ModelFile;
    request.CalculationMode = options.CalculationMode;
    request.QzInverseAngstrom = options.QzInverseAngstrom;
    request.Lower = options.Lower;
    request.Upper = options.Upper;
    request.Intervals = options.Intervals;
    request.DensityUnits = options.DensityUnits;
    ws.Options.PlotFile = options.PlotFile;
    if (!options.ProfileFile.empty()) ws.Options.ReportFiles = {options.ProfileFile};

    const std::string smlPath = RunSimulation(ws, ui, request);
    std::printf("%s\n", smlPath.c_str());
    std::fflush(stdout);

    if (!options.PlotFile.empty()) {
        WritePlotFile(options.PlotFile, ws, ui.LastCurves());
        std::printf("%s\n", options.PlotFile.c_str());
    }
    if (!options.ProfileFile.empty()) {
        ReplaceFile(options.ProfileFile, ProfileViewSvg(*ReportOfSimulation(ws).Profile));
        std::printf("%s\n", options.ProfileFile.c_str());
    }
    return 0;
}

}  // namespace korvel::cli
