// `korvel-cli batch` and `korvel-cli summary`: the batch driver of the library with
// the fit options as the dialogs' answers, Ctrl+C turned into the fits' stop request,
// and a progress line on stderr.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <algorithm>
#include <thread>

#include "app/BatchRun.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"

namespace korvel::cli {

namespace {

// A terminal gets the line rewritten in place a few times a second; a log file (a
// batch system's) one line every half minute.
constexpr double kTerminalInterval = 0.25;
constexpr double kLogInterval = 30.0;

std::string Clock(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

class ProgressLine {
  public:
    explicit ProgressLine(bool quiet) : quiet_(quiet), terminal_(::isatty(2) == 1) {}

    void Show(const BatchProgress& p) {
        if (quiet_) return;
        const bool finished = p.Done == p.Total;
        const double interval = terminal_ ? kTerminalInterval : kLogInterval;
        if (shown_ && !finished && p.Seconds - lastShown_ < interval) return;
        if (finished && shownFinished_) return;
        lastShown_ = p.Seconds;
        shown_ = true;
        shownFinished_ = finished;
        std::string left = "unknown";
        // The time left from the pace of the fits of this run (skipped ones took none).
        const std::size_t fitted = p.Done - p.Skipped;
        if (fitted > 0) left = Clock(p.Seconds / static_cast<double>(fitted) *
                                     static_cast<double>(p.Total - p.Done));
        std::fprintf(stderr, "%sbatch: %zu/%zu done, %zu failed, %s elapsed, %s left%s",
                     terminal_ ? "\r" : "", p.Done, p.Total, p.Failed, Clock(p.Seconds).c_str(),
                     left.c_str(), terminal_ ? "\033[K" : "\n");
        if (terminal_ && finished) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

    // Before other text on stderr: a line rewritten in place is ended first.
    void Break() {
        if (!quiet_ && terminal_ && shown_ && !shownFinished_) std::fputc('\n', stderr);
    }

  private:
    bool quiet_;
    bool terminal_;
    bool shown_ = false;
    bool shownFinished_ = false;
    double lastShown_ = 0.0;
};

BatchSettings SettingsOf(const BatchOptions& options) {
    namespace fs = std::filesystem;
    const FitOptions& fit = options.Fit;
    BatchSettings s;
    s.CommandFile = fit.CommandFile;
    s.DataFiles = options.DataFiles;
    s.OutFolder = options.OutFolder.empty()
                      ? fs::path(fit.CommandFile).stem().string() + "-batch"
                      : options.OutFolder;
    const unsigned processors = std::max(std::thread::hardware_concurrency(), 1u);
    s.Jobs = options.Jobs > 0 ? options.Jobs : processors;
    s.Chain = options.Chain;
    // Without --seed the clock chooses the batch's seed; each row names its data set's.
    s.Seed = fit.Seed ? *fit.Seed
                      : static_cast<std::uint64_t>(
                            std::chrono::system_clock::now().time_since_epoch().count()) >>
                            1;
    s.ShardIndex = options.ShardIndex;
    s.ShardCount = options.ShardCount;
    s.Resume = options.Resume;
    s.Read.Qz = fit.QzInverseAngstrom;
    s.Read.Units = static_cast<api::DensityUnits>(fit.DensityUnits);
    s.Read.RepeatUnitFixed = fit.RepeatUnitFixed;
    s.Read.Weights = fit.FresnelWeights ? api::Weighting::Fresnel : api::Weighting::Fraction;
    if (!fit.ErrorFractionText.empty())
        s.Read.ErrorFraction = ParseReal(fit.ErrorFractionText).value_or(0.0);
    s.NewtonStep = fit.NewtonStep;
    s.Uncertainty = fit.Uncertainty;
    if (fit.MaxRespreads) s.MaxRespreads = *fit.MaxRespreads;
    s.Read.DataSet = fit.DataSet;
    s.Read.ResolutionIsFwhm = fit.ResolutionIsFwhm;
    s.Read.Resolution = static_cast<api::ResolutionSource>(fit.Resolution);
    // The two enumerations list the methods under the same names.
    s.Search = api::SearchMethodOfName(std::string(SearchMethodName(fit.Search.Method)))
                   .value_or(api::SearchMethod::Tunnelling);
    s.Population = fit.Search.Population;
    s.Generations = fit.Search.Generations;
    return s;
}

}  // namespace

int RunBatchCommand(const BatchOptions& options) {
    const BatchSettings settings = SettingsOf(options);
    auto stop = std::make_shared<api::StopRequest>();
    ProgressLine line(options.Fit.Quiet);
    bool interrupted = false;
    InstallInterruptHandler();
    const BatchOutcome outcome = RunBatch(settings, stop, [&](const BatchProgress& progress) {
        if (!interrupted && InterruptRequested()) {
            interrupted = true;
            stop->EndSearch();
        }
        line.Show(progress);
    });
    line.Break();

    for (const auto& [data, message] : outcome.Failures)
        std::fprintf(stderr, "korvel-cli: %s: %s\n", data.c_str(), message.c_str());
    // Even with --quiet: the summary does not hold every data set's end.
    if (interrupted)
        std::fprintf(stderr,
                     "korvel-cli: the batch was stopped; %zu data sets were not fitted "
                     "(--resume goes on).\n",
                     outcome.NotRun);
    std::printf("summary: %s\n", outcome.SummaryFile.c_str());
    std::printf("data sets: %zu, ok %zu (skipped %zu), stopped %zu, failed %zu, not fitted %zu\n",
                outcome.Total, outcome.Ok, outcome.Skipped, outcome.Stopped, outcome.Failed,
                outcome.NotRun);
    return outcome.AllOk() ? 0 : 1;
}

int RunSummaryCommand(const std::string& folder) {
    const auto [path, rows] = MergeShardSummaries(folder);
    std::printf("summary: %s (%zu data sets)\n", path.c_str(), rows);
    return 0;
}

}  // namespace korvel::cli
