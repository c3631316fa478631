#pragma once
// The commands of korvel-cli. Each returns the exit code of a run that went
// through; a run that cannot go on throws RunError.

#include "cli/Arguments.h"

namespace korvel::cli {

// Simulates the model and prints the full path of the .sml file on stdout.
int RunSimulateCommand(const SimulateOptions& options);
// Fits as the command file says and prints the result files and fitted values.
int RunFitCommand(const FitOptions& options);
// Fits every data file of the batch; 0 when all are ok, 1 otherwise.
int RunBatchCommand(const BatchOptions& options);
// Merges the shard summaries of a batch folder.
int RunSummaryCommand(const std::string& folder);

}  // namespace korvel::cli
