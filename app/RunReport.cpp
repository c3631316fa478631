// The report of a run and korvel-cli's report files.

#include "app/RunReport.h"

#include <filesystem>
#include <system_error>

#include "app/Workspace.h"
#include "base/ResultSetWriter.h"
#include "base/RunError.h"
#include "fit/FinalModel.h"
#include "input/ModelReader.h"
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

void AddPosterior(RunReport& report, const Workspace& ws, const PosteriorSample& sample,
                  int bandSize) {
    std::vector<double> fitted;
    if (report.Profile)
        for (const PosteriorParameter& p : sample.Parameters) {
            double value = report.Profile->Model.Value(p.ModelIndex);
            if (IsDensityParameter(p.ModelIndex))
                value = ToFileUnits(p.ModelIndex, value, ws.Settings.DensityUnits,
                                    ws.Model.Header.Wavelength);
            fitted.push_back(value);
        }
    report.Corner = CornerDataOf(sample, 4000, fitted);
    if (!report.Profile) return;
    // The band: models of the sampled values, each written into a copy of the fitted
    // model (links follow through its shared cells).
    const CornerPlotData drawn = CornerDataOf(sample, bandSize);
    const int dim = drawn.Dimension;
    for (int s = 0; s < drawn.SampleCount(); ++s) {
        LayerModel model = report.Profile->Model;
        for (int k = 0; k < dim; ++k) {
            const int j = sample.Parameters[k].ModelIndex;
            double value = drawn.Points[static_cast<std::size_t>(s) * dim + k];
            if (IsDensityParameter(j))
                value /= ToFileUnits(j, 1.0, ws.Settings.DensityUnits, ws.Model.Header.Wavelength);
            model.SetValue(j, value);
        }
        report.Profile->Band.push_back(std::move(model));
    }
}

RunReport ReportOfSimulation(const Workspace& ws) {
    RunReport report;
    report.Profile = ProfileViewData{ws.Model, std::nullopt, ws.Settings.DensityUnits};
    return report;
}

ReportFiles PrepareReportFolder(const std::string& folder, bool posterior) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder, error))
        throw RunError("Cannot create the report folder.", folder);
    const fs::path base(folder);
    return {(base / "fit.svg").string(), (base / "profile.svg").string(),
            (base / "fitted.csv").string(), posterior ? (base / "corner.svg").string() : ""};
}

void WriteReportFiles(const ReportFiles& files, const RunReport& report) {
    if (!report.Fit || !report.Profile || !report.Values)
        throw RunError("The fit has no result to report.");
    ResultSetWriter writer(files.All());
    writer.Write(files.FitView,
                 FitViewSvg(*report.Fit, DefaultFitViewOptions(*report.Fit)));
    writer.Write(files.Profile, ProfileViewSvg(*report.Profile));
    writer.Write(files.Values, FittedValuesCsv(*report.Values));
    if (!files.Corner.empty())
        writer.Write(files.Corner, CornerPlotSvg(report.Corner.value_or(CornerPlotData{})));
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
