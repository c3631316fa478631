#pragma once
// A batch of fits: one command file's model and limits fitted to each data file of a
// series, independently on a pool of worker threads (one engine thread per fit) or,
// chained, one after the other from the previous fit's result. Each data set's result
// files go to <out>/<data file stem>/, exactly as a single fit writes them, and a
// summary table (app/BatchSummary.h) lists every data set. The seed of a data set
// comes from the batch's seed and its place in the series (api::SeriesSeed), so the
// results depend neither on the number of workers, nor on the order in which fits
// end, nor on the shard that fits them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "korvel/korvel.h"

namespace korvel {

struct BatchSettings {
    std::string CommandFile;
    std::vector<std::string> DataFiles;  // the whole series, in its order
    std::string OutFolder;
    unsigned Jobs = 1;   // worker threads (a chain uses one)
    bool Chain = false;  // each fit starts from the previous fit's model
    std::uint64_t Seed = 0;
    // This run fits every ShardCount-th data set starting at ShardIndex (0-based).
    int ShardIndex = 0;
    int ShardCount = 1;
    bool Resume = false;  // skip data sets whose results are complete and newer than the inputs
    api::ReadOptions Read;
    bool NewtonStep = false;
    bool Uncertainty = false;
    int MaxRespreads = api::kDefaultMaxRespreads;
    // The search of every fit: the program's own, or a population method polished by
    // its local simplex, with its population and generations (0: the method's defaults).
    api::SearchMethod Search = api::SearchMethod::Tunnelling;
    int Population = 0;
    int Generations = 0;
};

// Where a batch stands, for a progress line.
struct BatchProgress {
    std::size_t Total = 0;    // data sets of this run (this shard)
    std::size_t Done = 0;     // finished, failed or skipped
    std::size_t Failed = 0;
    std::size_t Skipped = 0;  // complete from an earlier run
    double Seconds = 0.0;     // since the batch began
};

struct BatchOutcome {
    std::string SummaryFile;
    std::size_t Total = 0;
    std::size_t Ok = 0;
    std::size_t Stopped = 0;
    std::size_t Failed = 0;
    std::size_t Skipped = 0;  // counted in Ok as well
    std::size_t NotRun = 0;   // left out because a stop came first
    std::vector<std::pair<std::string, std::string>> Failures;  // data file, message
    bool AllOk() const { return Ok == Total; }
};

// The summary's file name in the out folder: "summary.csv", or for shard K of N
// "summary-K-of-N.csv".
std::string SummaryFileName(int shardIndex, int shardCount);

// Runs the batch. `tick` is called on the calling thread several times a second while
// fits run (and once at the end); it may call `stop`'s members, which stop the
// running fits as Ctrl+Q does: their results are written and no further fit starts.
// The summary is rewritten every few seconds and at the end. Throws RunError before
// any fit for a batch that cannot run (two data files of one stem, an unreadable
// command file or earlier summary).
BatchOutcome RunBatch(const BatchSettings& settings, const std::shared_ptr<api::StopRequest>& stop,
                      const std::function<void(const BatchProgress&)>& tick);

// Merges the shard summaries summary-K-of-N.csv in `folder` into summary.csv in the
// series' order; every shard of the N must be there. Returns the path written and the
// number of rows.
std::pair<std::string, std::size_t> MergeShardSummaries(const std::string& folder);

}  // namespace korvel
