// korvel-cli: simulation and fitting runs from the command line.
// Exit codes: 0 success, 1 a run failed (its message on stderr), 2 usage error.

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "base/RunError.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/PlotOutput.h"
#include "base/IoError.h"

namespace {

constexpr int kExitRunFailed = 1;
constexpr int kExitUsage = 2;

int Run(const korvel::cli::CommandLine& line) {
    using Action = korvel::cli::CommandLine::Action;
    switch (line.What) {
        case Action::Help:
            std::fputs(korvel::cli::UsageText(line.HelpTopic).c_str(), stdout);
            return 0;
        case Action::Version:
            std::puts("korvel-cli " KORVEL_VERSION);
            return 0;
        case Action::Simulate:
            return korvel::cli::RunSimulateCommand(line.Simulate);
        case Action::Fit:
            return korvel::cli::RunFitCommand(line.Fit);
        case Action::Batch:
            return korvel::cli::RunBatchCommand(line.Batch);
        case Action::Summary:
            return korvel::cli::RunSummaryCommand(line.SummaryFolder);
    }
    return 0;
}

// A file-size limit (ulimit -f) and a reader that went away must end a write with an
// error, as a full disk does, and never kill the program while it writes its files.
void IgnoreWriteSignals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);
    sigaction(SIGPIPE, &ignore, nullptr);
}

// What the program printed must have arrived: a full disk or a closed pipe on
// standard output fails the run.
int CheckStandardOutput(int exitCode) {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return exitCode;
    const int err = errno;
    std::fprintf(stderr, "korvel-cli: %s\n(standard output)\n",
                 korvel::WriteErrorMessage(err).c_str());
    return kExitRunFailed;
}

int RunAndReport(const korvel::cli::CommandLine& line) {
    try {
        return Run(line);
    } catch (const korvel::RunError& error) {
        std::fflush(stdout);  // the paths of files written before the failure come first
        std::fprintf(stderr, "korvel-cli: %s\n", error.Message().c_str());
        if (!error.Where().empty()) std::fprintf(stderr, "%s\n", error.Where().c_str());
        return kExitRunFailed;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "korvel-cli: Not enough memory for this run.\n");
        return kExitRunFailed;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "korvel-cli: internal error: %s\n", error.what());
        return kExitRunFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    IgnoreWriteSignals();
    korvel::cli::CommandLine line;
    try {
        line = korvel::cli::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        const std::string& plot = line.What == korvel::cli::CommandLine::Action::Fit
                                      ? line.Fit.PlotFile
                                      : line.Simulate.PlotFile;
        if (!plot.empty() && !korvel::cli::PlotOutputAvailable())
            throw korvel::cli::UsageError("option --plot is not available in this build");
    } catch (const korvel::cli::UsageError& error) {
        std::fprintf(stderr, "korvel-cli: %s\nTry 'korvel-cli --help'.\n", error.what());
        return kExitUsage;
    }

    return CheckStandardOutput(RunAndReport(line));
}
