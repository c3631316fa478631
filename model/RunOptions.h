#pragma once
// Choices a run takes besides its settings: the desktop program makes them by itself,
// the command line takes them as options, a library caller passes them in.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/SearchMethod.h"

namespace korvel {

// Re-spreads of one global step after which the search gives up. Global steps that
// end by themselves re-spread a few dozen times at most; some stacks and weightings
// re-spread without end ("Too big step." over and over), and this ends them.
inline constexpr int kDefaultMaxRespreads = 1000;

// Which resolution smears a fit's computed curve: the data's own (a Gaussian of each
// point's width in Qz), the model header's two laws, or by default the data's when the
// data file gives one.
enum class ResolutionSource { Default, Data, Model };

struct RunOptions {
    std::optional<std::uint64_t> Seed;  // replaces the clock seed of the limits read
    // Bound on the re-spreads of one global step; -1: none.
    int MaxRespreads = kDefaultMaxRespreads;
    unsigned Threads = 0;               // engine threads; 0: as many as the machine has
    bool ReferenceEngine = false;       // evaluate point by point with the literal methods
    bool CreateFitLog = false;          // "  Create Log file of fitting": write fitlog.txt
    // A plot the caller writes after the run (korvel-cli --plot): checked with the run's
    // result files before any work, so it can overwrite neither an input nor a result.
    std::string PlotFile;
    // The search and the sampling after it; the tunnelling search by default.
    SearchOptions Search;

    // Reading a column data file (.ort, or '#' header lines): which data set (1 = the
    // first), and whether a plain file's fourth column is a FWHM instead of a standard
    // deviation (an ORSO header says which it is).
    int DataSet = 1;
    bool ResolutionIsFwhm = false;
    ResolutionSource Resolution = ResolutionSource::Default;
    // An ORSO text file of the measured and fitted curves written after the run
    // (korvel-cli --ort): checked with the result files before any work, like PlotFile.
    std::string OrtFile;
    // Further files the caller writes after the run (korvel-cli --report, --profile),
    // checked the same way and against the plot file.
    std::vector<std::string> ReportFiles;
};

}  // namespace korvel
