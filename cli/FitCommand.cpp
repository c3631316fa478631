// `korvel-cli fit`: the fitting run with the dialogs answered from the command
// line; prints where the result files went (also when the run fails after writing
// them), the seed that repeats the run and the fitted free parameters in the units
// of the model file.

#include <cstdio>
#include <optional>
#include <string>

#include "base/RunError.h"
#include "app/Workspace.h"
#include "cli/CliRunInterface.h"
#include "cli/Commands.h"
#include "cli/FittedParameters.h"
#include "cli/Interrupt.h"
#include "cli/PlotOutput.h"
#include "app/FittingRun.h"
#include "app/PosteriorRun.h"
#include "output/PosteriorText.h"
#include "app/OrtOutput.h"
#include "base/TextFile.h"
#include "app/RunReport.h"

namespace korvel::cli {

namespace {

void PrintResultPaths(const Workspace& ws) {
    std::printf("results: %s\n", ws.Files.ResultModelFile.c_str());
    std::printf("         %s\n", ws.Files.FittedCurveFile.c_str());
    std::printf("         %s\n", ws.Files.LocalRunFile.c_str());
}

}  // namespace

int RunFitCommand(const FitOptions& options) {
    Workspace ws;
    ws.Settings.CommandFileName = options.CommandFile;
    ws.Options.Seed = options.Seed;
    if (options.MaxRespreads) ws.Options.MaxRespreads = *options.MaxRespreads;

    DialogAnswers answers;
    answers.QzInverseAngstrom = options.QzInverseAngstrom;
    answers.DensityUnits = options.DensityUnits;
    answers.RepeatUnitFixed = options.RepeatUnitFixed;
    answers.FresnelWeights = options.FresnelWeights;
    answers.ErrorFractionText = options.ErrorFractionText;
    answers.NewtonStep = options.NewtonStep;
    answers.Uncertainty = options.Uncertainty;

    ws.Options.PlotFile = options.PlotFile;
    ws.Options.Search = options.Search;
    ws.Options.DataSet = options.DataSet;
    ws.Options.ResolutionIsFwhm = options.ResolutionIsFwhm;
    ws.Options.Resolution = options.Resolution;
    ws.Options.OrtFile = options.OrtFile;
    // The report's files are checked with the run's own before any work.
    std::optional<ReportFiles> report;
    if (!options.ReportFolder.empty()) {
        report = PrepareReportFolder(options.ReportFolder, options.Search.McmcSteps > 0);
        ws.Options.ReportFiles = report->All();
    }

    InstallInterruptHandler();
    CliRunInterface ui(answers, options.Quiet);
    try {
        RunFitting(ws, ui, ui, ui.Stop());
    } catch (const RunError&) {
        // A failure after the result files were written (the uncertainty estimate, say)
        // leaves them complete: say where they are before the failure is reported.
        if (ws.Files.Written) PrintResultPaths(ws);
        throw;
    }
    // Even with --quiet: the files do not hold the end of the search.
    if (ui.Interrupted())
        std::fprintf(stderr,
                     "korvel-cli: the fit was stopped; the results are those of the best model "
                     "so far.\n");

    PrintResultPaths(ws);
    // The default search prints what it always printed.
    if (ws.Options.Search.Method != SearchMethod::Tunnelling) {
        std::printf("method: %s\n",
                    std::string(SearchMethodDescription(ws.Options.Search.Method)).c_str());
        const GlobalFitSummary& search = ws.SearchSummary;
        std::printf("search: %d generations, %llu curve evaluations, best Xi^2 %.8g%s; %d "
                    "polishing runs\n",
                    search.Generations, static_cast<unsigned long long>(search.SearchEvaluations),
                    search.SearchBestMerit,
                    search.Stopped ? " (stopped)" : search.Converged ? " (converged)" : "",
                    search.PolishingRuns);
    }
    // Also a seed taken from the clock: `--seed N` repeats the run.
    std::printf("seed: %llu\n", static_cast<unsigned long long>(ws.Fit.Seed));
    const auto fitted = FittedParameters(ws);
    if (!fitted.empty()) {
        std::printf("fitted parameters (units of the model file):\n");
        for (const auto& parameter : fitted)
            std::printf("  %s = %s\n", parameter.Name.c_str(), parameter.ValueText.c_str());
    }
    std::fflush(stdout);

    std::optional<PosteriorSample> posterior;
    if (options.Search.McmcSteps > 0) {
        if (ui.Interrupted()) {
            std::fprintf(stderr, "korvel-cli: the fit was stopped; the posterior is not sampled.\n");
        } else {
            posterior = RunPosteriorSampling(ws, ui, ui.Stop());
            std::printf("%s", PosteriorSummaryText(*posterior).c_str());
            std::printf("mcmc: %s\n", ws.Files.McmcFile.c_str());
            std::fflush(stdout);
        }
    }

    if (!options.PlotFile.empty()) {
        // What the plot window would show: the last curves the search drew, or the
        // curve arrays when nothing was searched.
        WritePlotFile(options.PlotFile, ws, ui.HasDrawn() ? ui.LastCurves() : ws.Curves);
        std::printf("plot: %s\n", options.PlotFile.c_str());
    }
    if (!options.OrtFile.empty()) {
        ReplaceFile(options.OrtFile, FittedCurvesOrt(ws, "korvel-cli", KORVEL_VERSION));
        std::printf("ort: %s\n", options.OrtFile.c_str());
    }
    if (report) {
        RunReport shown = ReportOfFit(ws);
        if (posterior) AddPosterior(shown, ws, *posterior);
        WriteReportFiles(*report, shown);
        std::printf("report: %s\n", report->FitView.c_str());
        std::printf("        %s\n", report->Profile.c_str());
        std::printf("        %s\n", report->Values.c_str());
        if (!report->Corner.empty()) std::printf("        %s\n", report->Corner.c_str());
    }
    return 0;
}

}  // namespace korvel::cli
