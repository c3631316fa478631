#pragma once
// Choices a run takes besides its settings: the desktop program makes them by itself,
// the command line takes them as options, a library caller passes them in.

#include <cstdint>
#include <optional>
#include <string>

#include "model/SearchMethod.h"

namespace korvel {

// Re-spreads of one global step after which the search gives up. Global steps that
// end by themselves re-spread a few dozen times at most; some stacks and weightings
// re-spread without end ("Too big step." over and over), and this ends them.
inline constexpr int kDefaultMaxRespreads = 1000;

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
};

}  // namespace korvel
