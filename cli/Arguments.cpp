// Parsing of the korvel-cli command line into plain option records. Numbers are
// read with the C locale rules (point as decimal separator) and must fill the
// whole argument; anything else is a usage error.

#include "cli/Arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <system_error>

namespace korvel::cli {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A leading "+" is allowed; from_chars itself only takes "-".
std::string_view WithoutPlus(const std::string& text) {
    std::string_view view(text);
    if (view.size() > 1 && view.front() == '+' && view[1] != '-') view.remove_prefix(1);
    return view;
}

// Walks the arguments of one command: options with or without a value, and
// exactly one positional file name.
class OptionReader {
  public:
    OptionReader(const std::vector<std::string>& arguments, std::size_t first)
        : arguments_(arguments), next_(first) {}

    bool Done() const { return next_ >= arguments_.size(); }

    // Splits "--name=value"; an argument not starting with "--" is positional.
    std::string Take(std::optional<std::string>& inlineValue, bool& positional) {
        std::string argument = arguments_[next_++];
        inlineValue.reset();
        positional = false;
        if (!optionsEnded_ && argument == "--") {
            optionsEnded_ = true;
            return {};
        }
        if (optionsEnded_ || argument.size() < 2 || argument[0] != '-') {
            positional = true;
            return argument;
        }
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = argument.substr(equals + 1);
            argument.resize(equals);
        }
        return argument;
    }

    // The value of an option: after "=", or the next argument, whatever it looks like
    // (so "--min -0.2" works).
    std::string Value(const std::string& option, std::optional<std::string>& inlineValue) {
        if (inlineValue) {
            std::string value = *inlineValue;
            inlineValue.reset();
            return value;
        }
        if (Done()) throw UsageError("option " + option + " needs a value");
        return arguments_[next_++];
    }

  private:
    const std::vector<std::string>& arguments_;
    std::size_t next_;
    bool optionsEnded_ = false;
};

double RealOption(const std::string& option, const std::string& value) {
    const auto number = ParseReal(value);
    if (!number) throw UsageError("option " + option + ": '" + value + "' is not a number");
    return *number;
}

long long IntegerOption(const std::string& option, const std::string& value) {
    const auto number = ParseInteger(value);
    if (!number) throw UsageError("option " + option + ": '" + value + "' is not an integer");
    return *number;
}

int DensityUnitsOption(const std::string& option, const std::string& value) {
    const long long units = IntegerOption(option, value);
    if (units < 0 || units > 3)
        throw UsageError("option " + option + ": density units are 0, 1, 2 or 3, not " + value);
    return static_cast<int>(units);
}

char ModeOption(const std::string& value) {
    static const std::map<std::string, char> modes = {
        {"f", 'F'}, {"fourier", 'F'}, {"p", 'P'}, {"parratt", 'P'}, {"m", 'M'}, {"matrix", 'M'}};
    const auto found = modes.find(Lower(value));
    if (found == modes.end())
        throw UsageError("option --mode: '" + value +
                         "' is not one of F, P, M, fourier, parratt, matrix");
    return found->second;
}

void ReadWeights(const std::string& value, FitOptions& fit) {
    const std::string lowered = Lower(value);
    if (lowered == "fresnel") {
        fit.FresnelWeights = true;
        fit.ErrorFractionText.clear();
        return;
    }
    if (lowered == "fraction") {
        fit.FresnelWeights = false;
        fit.ErrorFractionText.clear();
        return;
    }
    if (lowered.rfind("fraction:", 0) == 0) {
        const std::string d = value.substr(9);
        const auto number = ParseReal(d);
        if (!number || *number <= 0.0)
            throw UsageError("option --weights: the fraction D must be a number above 0, not '" +
                             d + "'");
        fit.FresnelWeights = false;
        fit.ErrorFractionText = d;
        return;
    }
    throw UsageError("option --weights: '" + value + "' is not fresnel, fraction or fraction:D");
}

// A count option from 1 to `most`.
int CountOption(const std::string& option, const std::string& value, long long least, long long most) {
    const long long count = IntegerOption(option, value);
    if (count < least || count > most)
        throw UsageError("option " + option + ": '" + value + "' is not a count from " +
                         std::to_string(least) + " to " + std::to_string(most));
    return static_cast<int>(count);
}

SearchMethod OptimizerOption(const std::string& value) {
    const auto method = SearchMethodFromName(Lower(value));
    if (!method)
        throw UsageError("option --optimizer: '" + value +
                         "' is not one of de, cmaes, pso, tunnelling, de-rand1bin, de-best1bin, "
                         "de-current-to-best1bin");
    return *method;
}

// The options of column data files and of the ORSO output; false for any other.
bool ReadColumnDataOption(const std::string& option, std::optional<std::string>& inlineValue,
                          OptionReader& reader, FitOptions& fit) {
    if (option == "--dq-fwhm") {
        fit.ResolutionIsFwhm = true;
    } else if (option == "--dataset") {
        const std::string value = reader.Value(option, inlineValue);
        const long long n = IntegerOption(option, value);
        if (n < 1 || n > 1000000)
            throw UsageError("option --dataset: '" + value + "' is not a data set number (1 is "
                             "the first)");
        fit.DataSet = static_cast<int>(n);
    } else if (option == "--resolution") {
        const std::string value = reader.Value(option, inlineValue);
        const std::string lowered = Lower(value);
        if (lowered == "data")
            fit.Resolution = ResolutionSource::Data;
        else if (lowered == "model")
            fit.Resolution = ResolutionSource::Model;
        else
            throw UsageError("option --resolution: '" + value + "' is not data or model");
    } else if (option == "--ort") {
        fit.OrtFile = reader.Value(option, inlineValue);
    } else {
        return false;
    }
    return true;
}

using OptionHandler = std::function<bool(const std::string&, std::optional<std::string>&,
                                         OptionReader&)>;

// Reads one command's arguments: `onOption` handles each option and returns false for
// an unknown one, `onFile` takes each positional argument. False when help was asked.
bool ReadArguments(const std::vector<std::string>& arguments, const std::string& command,
                   CommandLine& line, const std::function<void(const std::string&)>& onFile,
                   const OptionHandler& onOption) {
    OptionReader reader(arguments, 1);
    while (!reader.Done()) {
        std::optional<std::string> inlineValue;
        bool positional = false;
        const std::string argument = reader.Take(inlineValue, positional);
        if (argument.empty() && !positional) continue;  // the "--" separator
        if (positional) {
            onFile(argument);
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            line.What = CommandLine::Action::Help;
            line.HelpTopic = command;
            return false;
        }
        if (!onOption(argument, inlineValue, reader))
            throw UsageError(command + ": unknown option " + argument);
        if (inlineValue) throw UsageError("option " + argument + " takes no value");
    }
    return true;
}

// A command with one file: the single positional argument goes to `file`.
void ReadCommand(const std::vector<std::string>& arguments, const std::string& command,
                 std::string& file, CommandLine& line, const OptionHandler& onOption) {
    const auto onFile = [&](const std::string& argument) {
        if (!file.empty())
            throw UsageError(command + ": only one file may be given ('" + file + "' and '" +
                             argument + "')");
        file = argument;
    };
    if (!ReadArguments(arguments, command, line, onFile, onOption)) return;
    if (file.empty())
        throw UsageError(command + ": the " +
                         std::string(command == "simulate" ? "model file"
                                     : command == "summary" ? "folder"
                                                            : "command file") +
                         " is missing");
}

void ReadSimulate(const std::vector<std::string>& arguments, CommandLine& line) {
    line.What = CommandLine::Action::Simulate;
    SimulateOptions& sim = line.Simulate;
    ReadCommand(arguments, "simulate", sim.ModelFile, line,
                [&sim](const std::string& option, std::optional<std::string>& inlineValue,
                       OptionReader& reader) {
                    if (option == "--mode")
                        sim.CalculationMode = ModeOption(reader.Value(option, inlineValue));
                    else if (option == "--qz")
                        sim.QzInverseAngstrom = true;
                    else if (option == "--min")
                        sim.Lower = RealOption(option, reader.Value(option, inlineValue));
                    else if (option == "--max")
                        sim.Upper = RealOption(option, reader.Value(option, inlineValue));
                    else if (option == "--intervals")
                        sim.Intervals = IntegerOption(option, reader.Value(option, inlineValue));
                    else if (option == "--density-units")
                        sim.DensityUnits =
                            DensityUnitsOption(option, reader.Value(option, inlineValue));
                    else if (option == "--plot")
                        sim.PlotFile = reader.Value(option, inlineValue);
                    else if (option == "--profile")
                        sim.ProfileFile = reader.Value(option, inlineValue);
                    else
                        return false;
                    return true;
                });
}

// One option of `fit` (also taken by `batch`); false for an unknown one.
bool ReadFitOption(const std::string& option, std::optional<std::string>& inlineValue,
                   OptionReader& reader, FitOptions& fit) {
    if (option == "--qz")
        fit.QzInverseAngstrom = true;
    else if (option == "--density-units")
        fit.DensityUnits =
            DensityUnitsOption(option, reader.Value(option, inlineValue));
    else if (option == "--repeat-unit-fixed")
        fit.RepeatUnitFixed = true;
    else if (option == "--weights")
        ReadWeights(reader.Value(option, inlineValue), fit);
    else if (option == "--newton")
        fit.NewtonStep = true;
    else if (option == "--uncertainty")
        fit.Uncertainty = true;
    else if (option == "--seed") {
        const std::string value = reader.Value(option, inlineValue);
        const long long seed = IntegerOption(option, value);
        if (seed < 0)
            throw UsageError("option --seed: '" + value + "' is negative");
        fit.Seed = static_cast<std::uint64_t>(seed);
    } else if (option == "--max-respreads") {
        const std::string value = reader.Value(option, inlineValue);
        const long long k = IntegerOption(option, value);
        if (k < 0 || k > 1000000000)
            throw UsageError("option --max-respreads: '" + value +
                             "' is not a count from 0 to 1000000000");
        fit.MaxRespreads = static_cast<int>(k);
    } else if (option == "--optimizer")
        fit.Search.Method = OptimizerOption(reader.Value(option, inlineValue));
    else if (option == "--population")
        fit.Search.Population =
            CountOption(option, reader.Value(option, inlineValue), 5, 100000);
    else if (option == "--generations")
        fit.Search.Generations =
            CountOption(option, reader.Value(option, inlineValue), 1, 100000000);
    else if (option == "--mcmc")
        fit.Search.McmcSteps =
            CountOption(option, reader.Value(option, inlineValue), 1, 10000000);
    else if (option == "--walkers")
        fit.Search.McmcWalkers =
            CountOption(option, reader.Value(option, inlineValue), 4, 100000);
    else if (option == "--quiet" || option == "-q")
        fit.Quiet = true;
    else if (option == "--plot")
        fit.PlotFile = reader.Value(option, inlineValue);
    else if (option == "--report")
        fit.ReportFolder = reader.Value(option, inlineValue);
    else if (!ReadColumnDataOption(option, inlineValue, reader, fit))
        return false;
    return true;
}

void ReadFit(const std::vector<std::string>& arguments, CommandLine& line) {
    line.What = CommandLine::Action::Fit;
    FitOptions& fit = line.Fit;
    ReadCommand(arguments, "fit", fit.CommandFile, line,
                [&fit](const std::string& option, std::optional<std::string>& inlineValue,
                       OptionReader& reader) {
                    return ReadFitOption(option, inlineValue, reader, fit);
                });
}

// The options of `fit` a batch cannot take: each data set writes only its result
// files (no plot, report, curves file or posterior chain beside them).
const char* const kNotForBatch[] = {"--mcmc", "--walkers", "--plot", "--report", "--ort"};

// "K/N" of --shard.
void ReadShard(const std::string& value, BatchOptions& batch) {
    const std::size_t slash = value.find('/');
    const auto k = slash == std::string::npos ? std::nullopt : ParseInteger(value.substr(0, slash));
    const auto n = slash == std::string::npos ? std::nullopt : ParseInteger(value.substr(slash + 1));
    if (!k || !n || *n < 1 || *n > 1000000 || *k < 0 || *k >= *n)
        throw UsageError("option --shard: '" + value +
                         "' is not K/N with 0 <= K < N (K counts from 0)");
    batch.ShardIndex = static_cast<int>(*k);
    batch.ShardCount = static_cast<int>(*n);
}

bool ReadBatchOption(const std::string& option, std::optional<std::string>& inlineValue,
                     OptionReader& reader, BatchOptions& batch) {
    if (option == "--out") {
        batch.OutFolder = reader.Value(option, inlineValue);
        if (batch.OutFolder.empty()) throw UsageError("option --out: the folder name is empty");
    } else if (option == "--jobs" || option == "-j") {
        batch.Jobs = static_cast<unsigned>(
            CountOption(option, reader.Value(option, inlineValue), 1, 4096));
    } else if (option == "--chain") {
        batch.Chain = true;
    } else if (option == "--shard") {
        ReadShard(reader.Value(option, inlineValue), batch);
    } else if (option == "--resume") {
        batch.Resume = true;
    } else {
        for (const char* excluded : kNotForBatch)
            if (option == excluded)
                throw UsageError("batch: option " + option + " is not available for batch fits");
        return ReadFitOption(option, inlineValue, reader, batch.Fit);
    }
    return true;
}

// `batch COMMAND.inp DATA...`: the first file is the command file, the others the data.
void ReadBatch(const std::vector<std::string>& arguments, CommandLine& line) {
    line.What = CommandLine::Action::Batch;
    BatchOptions& batch = line.Batch;
    const auto onFile = [&](const std::string& argument) {
        if (batch.Fit.CommandFile.empty())
            batch.Fit.CommandFile = argument;
        else
            batch.DataFiles.push_back(argument);
    };
    const auto onOption = [&](const std::string& option, std::optional<std::string>& inlineValue,
                              OptionReader& reader) {
        return ReadBatchOption(option, inlineValue, reader, batch);
    };
    if (!ReadArguments(arguments, "batch", line, onFile, onOption)) return;
    if (batch.Fit.CommandFile.empty()) throw UsageError("batch: the command file is missing");
    if (batch.DataFiles.empty()) throw UsageError("batch: no data files are given");
    if (batch.Chain && batch.ShardCount > 1)
        throw UsageError("batch: --chain fits the series in one run and takes no --shard");
    if (batch.Chain && batch.Resume)
        throw UsageError("batch: --resume cannot continue a --chain");
}

void ReadSummary(const std::vector<std::string>& arguments, CommandLine& line) {
    line.What = CommandLine::Action::Summary;
    std::string folder;
    ReadCommand(arguments, "summary", folder, line,
                [](const std::string&, std::optional<std::string>&, OptionReader&) {
                    return false;
                });
    line.SummaryFolder = folder;
}

}  // namespace

std::optional<double> ParseReal(const std::string& text) {
    const std::string_view view = WithoutPlus(text);
    if (view.empty()) return std::nullopt;
    // Only digits, sign, point and exponent: no "inf", "nan" or hexadecimal forms.
    for (const char c : view)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' &&
            c != 'e' && c != 'E')
            return std::nullopt;
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(view.data(), view.data() + view.size(), value, std::chars_format::general);
    if (error != std::errc() || end != view.data() + view.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long long> ParseInteger(const std::string& text) {
    const std::string_view view = WithoutPlus(text);
    if (view.empty()) return std::nullopt;
    long long value = 0;
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (error != std::errc() || end != view.data() + view.size()) return std::nullopt;
    return value;
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    if (arguments.empty()) throw UsageError("a command is missing (simulate, fit, batch or summary)");
    const std::string& first = arguments.front();
    if (first == "--help" || first == "-h" || first == "help") {
        line.What = CommandLine::Action::Help;
        if (arguments.size() > 1) line.HelpTopic = arguments[1];
        return line;
    }
    if (first == "--version" || first == "-V") {
        line.What = CommandLine::Action::Version;
        return line;
    }
    if (first == "simulate") {
        ReadSimulate(arguments, line);
        return line;
    }
    if (first == "batch") {
        ReadBatch(arguments, line);
        return line;
    }
    if (first == "summary") {
        ReadSummary(arguments, line);
        return line;
    }
    if (first == "fit") {
        ReadFit(arguments, line);
        const SearchOptions& search = line.Fit.Search;
        if (line.What == CommandLine::Action::Fit && search.Method == SearchMethod::Tunnelling &&
            (search.Population > 0 || search.Generations > 0))
            throw UsageError(
                "fit: --population and --generations need a population search (--optimizer "
                "de, cmaes or pso)");
        if (line.What == CommandLine::Action::Fit && search.McmcSteps == 0 && search.McmcWalkers > 0)
            throw UsageError("fit: --walkers needs --mcmc STEPS");
        return line;
    }
    throw UsageError("unknown command '" + first + "' (simulate, fit, batch or summary)");
}

std::string UsageText(const std::string& topic) {
    const std::string simulate =
        "korvel-cli simulate MODEL.mdl [options]\n"
        "  Computes the reflectivity of the model on a regular grid and writes MODEL.sml\n"
        "  beside the model (abscissa and smeared reflectivity per line).\n"
        "  --mode F|P|M|fourier|parratt|matrix  calculation method (default Matrix)\n"
        "  --qz                  grid limits and first column are Qz in 1/A (default degrees)\n"
        "  --min X               first grid value (default 0; negative values become 0)\n"
        "  --max X               last grid value (default 1; below --min it becomes min + 0.5)\n"
        "  --intervals N         number of grid intervals, 1 to 65534 (default 100)\n"
        "  --density-units U     what columns 2 and 3 of the model hold (default 0):\n"
        "                        0 delta and beta, 1 scattering length density (1/A^2),\n"
        "                        2 electron density (1/A^3), 3 Qc^2 and mu\n"
        "  --plot FILE.svg       also draw the curve into an SVG file\n"
        "  --profile FILE.svg    also draw the model's density profile into an SVG file\n";
    const std::string fit =
        "korvel-cli fit COMMAND.inp [options]\n"
        "  Fits the model named in the command file to its data and writes MODEL.bst,\n"
        "  MODEL.pct and MODEL.loc beside the model.\n"
        "  --qz                  data abscissae are Qz in 1/A (default degrees)\n"
        "  --density-units U     what columns 2 and 3 of model and limits hold (default 0)\n"
        "  --repeat-unit-fixed   keep the period of the repeat unit constant\n"
        "  --weights fresnel|fraction[:D]\n"
        "                        residual weights when the data have no error column:\n"
        "                        the bare-substrate Fresnel curve, or dI = D * I\n"
        "                        (default fraction with D = 0.03)\n"
        "  --newton              refine the result by a Newton step\n"
        "  --uncertainty         estimate the uncertainties of the free parameters\n"
        "  --seed N              seed of the random starting simplex (default: the clock);\n"
        "                        the same seed gives the same result files\n"
        "  --max-respreads K     at most K re-spreads in one global step (default 1000)\n"
        "  --optimizer METHOD    the search: tunnelling (default: simplex runs with\n"
        "                        tunnelling steps), de (self-adaptive differential\n"
        "                        evolution), cmaes, pso, or the DE variants de-rand1bin,\n"
        "                        de-best1bin, de-current-to-best1bin; the best member\n"
        "                        is polished by simplex runs\n"
        "  --population N        members of the population (default from the free\n"
        "                        parameters)\n"
        "  --generations N       at most N generations (default 1000, cmaes 2000)\n"
        "  --mcmc STEPS          sample the posterior after the fit (ensemble sampler);\n"
        "                        prints medians and intervals, writes MODEL.mcmc.csv\n"
        "  --walkers N           walkers of the sampler (default 4 per free parameter)\n"
        "  --quiet               no progress on stderr\n"
        "  --plot FILE.svg       also draw data and fit into an SVG file\n"
        "  Data files named .ort or starting with '#' are column files (ORSO text, or\n"
        "  Qz [1/A], R, dR, dQ with '#' comment lines):\n"
        "  --dataset N           fit data set N of the file (default 1, the first)\n"
        "  --dq-fwhm             a plain file's dQ column is a FWHM (default: a standard\n"
        "                        deviation; an ORSO header says which it is)\n"
        "  --resolution data|model\n"
        "                        smear with the data's resolution column (a Gaussian of\n"
        "                        each point's width in Qz) or the model's resolution laws\n"
        "                        (default: data when the file has the column)\n"
        "  --ort FILE.ort        also write the measured and fitted curves as ORSO text\n"
        "  --report DIR          also write DIR/fit.svg (data, fit and residuals),\n"
        "                        DIR/profile.svg (density profile, start and fitted) and\n"
        "                        DIR/fitted.csv (the fitted values); DIR is created;\n"
        "                        with --mcmc also DIR/corner.svg (the posterior's\n"
        "                        histograms and pairs) and a band of sampled profiles\n"
        "  Ctrl+C (or SIGTERM) ends the search early; the result files are still written.\n";
    const std::string batch =
        "korvel-cli batch COMMAND.inp DATA... [options]\n"
        "  Fits the command file's model and limits to each data file (data files as fit\n"
        "  reads them, column files included) and writes DIR/<data file stem>/MODEL.bst, .pct and\n"
        "  .loc, exactly as a single fit writes them, and DIR/summary.csv: per data set\n"
        "  in the given order its status (ok, stopped, failed), message, reduced chi-square,\n"
        "  the free parameters' values (and uncertainties), evaluations, seed and wall time.\n"
        "  --out DIR             the folder of the results (default <command file stem>-batch)\n"
        "  --jobs N              fits at once (default one per processor)\n"
        "  --seed N              the batch's seed; each data set's seed follows from it and\n"
        "                        the data set's place in the list (default: the clock)\n"
        "  --chain               fit the data sets in the given order, each starting from\n"
        "                        the previous fit's result (one at a time)\n"
        "  --shard K/N           fit every N-th data set starting at K (0-based) and write\n"
        "                        DIR/summary-K-of-N.csv; give every shard the same --seed\n"
        "  --resume              skip data sets whose results are complete (status ok) and\n"
        "                        newer than their inputs\n"
        "  --quiet               no progress line on stderr\n"
        "  The fit options --qz, --density-units, --repeat-unit-fixed, --weights,\n"
        "  --newton, --uncertainty, --max-respreads, --optimizer, --population,\n"
        "  --generations, --dataset, --dq-fwhm and --resolution apply to every data set.\n"
        "  A data set that fails is recorded in the summary and the others go on.\n"
        "  Ctrl+C (or SIGTERM) ends the running fits early, writes their results and the\n"
        "  summary so far; --resume then goes on. Exit code 1 when any data set is not ok.\n";
    const std::string summary =
        "korvel-cli summary DIR\n"
        "  Merges the shards' DIR/summary-K-of-N.csv into DIR/summary.csv in the order\n"
        "  of the data sets; every shard must be there.\n";
    if (topic == "simulate") return "usage: " + simulate;
    if (topic == "fit") return "usage: " + fit;
    if (topic == "batch") return "usage: " + batch;
    if (topic == "summary") return "usage: " + summary;
    return "usage: korvel-cli simulate MODEL.mdl [options]\n"
           "       korvel-cli fit COMMAND.inp [options]\n"
           "       korvel-cli batch COMMAND.inp DATA... [options]\n"
           "       korvel-cli summary DIR\n"
           "       korvel-cli --help | --version\n\n" +
           simulate + "\n" + fit + "\n" + batch + "\n" + summary +
           "\nNumbers use a point as the decimal separator.\n"
           "Exit codes: 0 success, 1 the run failed (message on stderr), 2 usage error.\n";
}

}  // namespace korvel::cli
