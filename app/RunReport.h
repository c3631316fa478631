#pragma once
// What the views of a run show, gathered from the workspace once the run is over: the
// fit view of the final model's curves, the density profile (with the start model
// after a fit) and the fitted-values table with the result files. The desktop program
// keeps one for its view windows; korvel-cli --report and --profile write files of it.

#include <optional>
#include <string>
#include <vector>

#include "fit/FittedValues.h"
#include "fit/PosteriorSampling.h"
#include "output/CornerView.h"
#include "output/FitView.h"
#include "output/ProfileView.h"

namespace korvel {

struct Workspace;

struct RunReport {
    std::optional<FitViewData> Fit;           // after a fit that reached its result
    std::optional<ProfileViewData> Profile;   // after a fit or a simulation
    std::optional<FittedValuesTable> Values;  // after a fit that reached its result
    std::optional<CornerPlotData> Corner;     // after posterior sampling

    bool Empty() const { return !Fit && !Profile && !Values; }
};

// The report of a fit whose result files are in place (Files.Written): its final model
// evaluated once more on a copy of the session, the start model and limits as read, the
// three result files. Throws RunError when the final model cannot be evaluated.
RunReport ReportOfFit(const Workspace& ws);
// Adds a posterior sample to a fit's report: its corner plot (the fitted values marked)
// and a band of `bandSize` profiles of models drawn evenly from the kept samples.
void AddPosterior(RunReport& report, const Workspace& ws, const PosteriorSample& sample,
                  int bandSize = 40);
// The profile of the model a simulation has read.
RunReport ReportOfSimulation(const Workspace& ws);

// The files of korvel-cli --report in `folder`: fit view with residuals, profile and
// fitted-values table.
struct ReportFiles {
    std::string FitView;   // fit.svg
    std::string Profile;   // profile.svg
    std::string Values;    // fitted.csv
    std::string Corner;    // corner.svg, after posterior sampling; empty: none
    std::vector<std::string> All() const {
        std::vector<std::string> all = {FitView, Profile, Values};
        if (!Corner.empty()) all.push_back(Corner);
        return all;
    }
};
// The names in `folder`, which is created when missing (RunError when it cannot be);
// with `posterior`, the corner plot's too.
ReportFiles PrepareReportFolder(const std::string& folder, bool posterior = false);
// Writes the files, each prepared completely before any is put into place. The corner
// plot's file, when named, is written from the report's corner data, or says that the
// posterior was not sampled (a stopped fit) so that no earlier plot stays beside the
// new report.
void WriteReportFiles(const ReportFiles& files, const RunReport& report);

// "Results: /path/model.bst, model.pct, model.loc": where a fit's result files are,
// for the desktop program's status line.
std::string ResultFilesNote(const Workspace& ws);

}  // namespace korvel
