// The report of a run and korvel-cli's report files.

#include "app/RunReport.h"

#include <filesystem>
#include <system_error>

#include "app/Workspace.h"
#include "base/ResultSetWriter.h"
#include "base/RunError.h"
#include "fit/FinalModel.h"
#include "output/FittedValuesView.h"

namespace korvel {

RunReport ReportOfFit(const Workspace& ws) {
    const FitSession finished = FinalModelSession(ws);
    RunReport report;
    report.Fit = FitViewOf(finished);
    report.Profile = ProfileViewData{finished.Model, ws.StartModel, ws.Settings.DensityUnits};
    FittedValuesTable values = MakeFittedValues(finished, ws.StartModel, ws.Limits);
    values.ResultFiles = {ws.Files.ResultModelFile, ws.Files.FittedCurveFile,
                          ws.Files.LocalRunFile};
    report.Values = std::move(values);
    return report;
}

RunReport ReportOfSimulation(const Workspace& ws) {
    RunReport report;
    report.Profile = ProfileViewData{ws.Model, std::nullopt, ws.Settings.DensityUnits};
    return report;
}

ReportFiles PrepareReportFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder, error))
        throw RunError("Cannot create the report folder.", folder);
    const fs::path base(folder);
    return {(base / "fit.svg").string(), (base / "profile.svg").string(),
            (base / "fitted.csv").string()};
}

void WriteReportFiles(const ReportFiles& files, const RunReport& report) {
    if (!report.Fit || !report.Profile || !report.Values)
        throw RunError("The fit has no result to report.");
    ResultSetWriter writer(files.All());
    writer.Write(files.FitView,
                 FitViewSvg(*report.Fit, DefaultFitViewOptions(*report.Fit)));
    writer.Write(files.Profile, ProfileViewSvg(*report.Profile));
    writer.Write(files.Values, FittedValuesCsv(*report.Values));
    writer.Commit();
}

std::string ResultFilesNote(const Workspace& ws) {
    const auto name = [](const std::string& path) {
        return std::filesystem::path(path).filename().string();
    };
    return "Results: " + ws.Files.ResultModelFile + ", " + name(ws.Files.FittedCurveFile) + ", " +
           name(ws.Files.LocalRunFile);
}

}  // namespace korvel
