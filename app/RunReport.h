#pragma once
// What the views of a run show, gathered from the workspace once the run is over: the
// fit view of the final model's curves, the density profile (with the start model
// after a fit) and the fitted-values table with the result files. The desktop program
// keeps one for its view windows; korvel-cli --report and --profile write files of it.

#include <optional>
#include <string>
#include <vector>

#include "fit/FittedValues.h"
#include "output/FitView.h"
#include "output/ProfileView.h"

namespace korvel {

struct Workspace;

struct RunReport {
    std::optional<FitViewData> Fit;           // after a fit that reached its result
    std::optional<ProfileViewData> Profile;   // after a fit or a simulation
    std::optional<FittedValuesTable> Values;  // after a fit that reached its result

    bool Empty() const { return !Fit && !Profile && !Values; }
};

// The report of a fit whose result files are in place (Files.Written): its final model
// evaluated once more on a copy of the session, the start model and limits as read, the
// three result files. Throws RunError when the final model cannot be evaluated.
RunReport ReportOfFit(const Workspace& ws);
// The profile of the model a simulation has read.
RunReport ReportOfSimulation(const Workspace& ws);

// The files of korvel-cli --report in `folder`: fit view with residuals, profile and
// fitted-values table.
struct ReportFiles {
    std::string FitView;   // fit.svg
    std::string Profile;   // profile.svg
    std::string Values;    // fitted.csv
    std::vector<std::string> All() const { return {FitView, Profile, Values}; }
};
// The names in `folder`, which is created when missing (RunError when it cannot be).
ReportFiles PrepareReportFolder(const std::string& folder);
// Writes the three files, each prepared completely before any is put into place.
void WriteReportFiles(const ReportFiles& files, const RunReport& report);

// "Results: /path/model.bst, model.pct, model.loc": where a fit's result files are,
// for the desktop program's status line.
std::string ResultFilesNote(const Workspace& ws);

}  // namespace korvel
