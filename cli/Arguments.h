#pragma once
// The command line of korvel-cli: the two commands, their options, and strict
// parsing of numbers (a point is the decimal separator, nothing may trail).

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/SearchMethod.h"
#include "model/RunOptions.h"

namespace korvel::cli {

// A malformed command line: printed with the usage hint, exit code 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct SimulateOptions {
    std::string ModelFile;
    char CalculationMode = 'M';
    bool QzInverseAngstrom = false;
    double Lower = 0.0;
    double Upper = 1.0;
    long long Intervals = 100;
    int DensityUnits = 0;
    std::string PlotFile;  // empty: no plot
    std::string ProfileFile;  // --profile: the model's density profile as SVG; empty: none
};

struct FitOptions {
    std::string CommandFile;
    bool QzInverseAngstrom = false;
    int DensityUnits = 0;
    bool RepeatUnitFixed = false;
    bool FresnelWeights = false;    // --weights fresnel
    std::string ErrorFractionText;  // D of --weights fraction:D, empty for the default
    bool NewtonStep = false;
    bool Uncertainty = false;
    std::optional<std::uint64_t> Seed;
    std::optional<int> MaxRespreads;  // none given: the run's default bound
    bool Quiet = false;
    std::string PlotFile;
    // --optimizer, --population, --generations, --mcmc, --walkers.
    SearchOptions Search;
    // Column data files (.ort, or with '#' header lines).
    int DataSet = 1;                // --dataset N
    bool ResolutionIsFwhm = false;  // --dq-fwhm
    ResolutionSource Resolution = ResolutionSource::Default;  // --resolution data|model
    std::string OrtFile;            // --ort FILE: measured and fitted curves, ORSO text
    std::string ReportFolder;  // --report: fit view, profile and fitted values; empty: none
};

// `batch`: the fit options, applied to every data set, and the batch's own.
struct BatchOptions {
    FitOptions Fit;  // CommandFile, the dialogs' answers, --newton, --uncertainty, --seed ...
    std::vector<std::string> DataFiles;
    std::string OutFolder;  // --out; empty: <command file stem>-batch
    unsigned Jobs = 0;      // --jobs; 0: one per processor
    bool Chain = false;
    int ShardIndex = 0;  // --shard K/N
    int ShardCount = 1;
    bool Resume = false;
};

struct CommandLine {
    enum class Action { Help, Version, Simulate, Fit, Batch, Summary };
    Action What = Action::Help;
    std::string HelpTopic;  // "simulate", "fit" or empty for the overview
    SimulateOptions Simulate;
    FitOptions Fit;
    BatchOptions Batch;
    std::string SummaryFolder;  // `summary DIR`
};

// Throws UsageError for an unknown command or option, a missing value or a bad number.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The whole text must be one finite number, point as decimal separator.
std::optional<double> ParseReal(const std::string& text);
// The whole text must be one decimal integer that fits the type.
std::optional<long long> ParseInteger(const std::string& text);

// Help texts for `korvel-cli --help` and `korvel-cli simulate|fit|batch|summary --help`.
std::string UsageText(const std::string& topic);

}  // namespace korvel::cli
