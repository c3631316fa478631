// The batch driver: the plan (the shard's data sets, their result folders and seeds,
// the ones an earlier run completed), a pool of workers each running one fit at a
// time through the library, and the summary, rewritten as rows come in so that a run
// killed outright still leaves most of its table.

#include "app/BatchRun.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "app/BatchSummary.h"
#include "base/IoError.h"
#include "base/RunError.h"

namespace korvel {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kTickInterval = std::chrono::milliseconds(100);
constexpr auto kSummaryInterval = std::chrono::seconds(2);
constexpr const char* kStoppedMessage =
    "the fit was stopped; the results are those of the best model so far.";

struct Item {
    std::size_t Position = 0;
    std::string DataFile;
    std::string Folder;  // <out>/<data file stem>
};

std::string NumberText(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

double SecondsSince(Clock::time_point begin) {
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

// The shard's data sets with their result folders; two data files whose results would
// share a folder stop the batch before any fit.
std::vector<Item> Plan(const BatchSettings& settings) {
    std::map<std::string, std::string> stems;
    std::vector<Item> items;
    for (std::size_t p = 0; p < settings.DataFiles.size(); ++p) {
        const std::string& data = settings.DataFiles[p];
        const std::string stem = fs::path(data).stem().string();
        const std::string folder = (fs::path(settings.OutFolder) / stem).string();
        if (stem.empty()) throw RunError("A data file name is empty.", std::to_string(p + 1));
        const auto [at, fresh] = stems.emplace(stem, data);
        if (!fresh)
            throw RunError("Two data files would write their results into one folder: '" +
                               at->second + "' and '" + data + "'.",
                           folder);
        if (p % static_cast<std::size_t>(settings.ShardCount) ==
            static_cast<std::size_t>(settings.ShardIndex))
            items.push_back({p, data, folder});
    }
    return items;
}

void MakeFolder(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw RunError(IoErrorMessage(IoCodeFromErrno(error.value())), folder);
}

// The files every fit reads beside its data file, for --resume's "newer than".
std::vector<std::string> CommonInputs(const BatchSettings& settings,
                                      const api::CommandFile& command) {
    const fs::path folder = fs::path(settings.CommandFile).parent_path();
    std::vector<std::string> inputs = {settings.CommandFile};
    for (const std::string* name : {&command.ModelFileName, &command.LimitsFileName}) {
        const fs::path path(*name);
        inputs.push_back(path.is_absolute() ? *name : (folder / path).string());
    }
    return inputs;
}

std::optional<fs::file_time_type> WriteTime(const std::string& path) {
    std::error_code error;
    const auto time = fs::last_write_time(path, error);
    if (error) return std::nullopt;
    return time;
}

// An earlier row of the data set that stands: the fit ended well, and its three
// result files are there and newer than every input.
bool Complete(const SummaryRow* earlier, const Item& item, const std::string& modelStem,
              const std::vector<std::string>& inputs) {
    if (!earlier) return false;
    const auto field = [earlier](const char* column) {
        const auto found = earlier->find(column);
        return found == earlier->end() ? std::string() : found->second;
    };
    if (field("status") != "ok" || field("data_file") != item.DataFile) return false;
    std::optional<fs::file_time_type> newestInput = WriteTime(item.DataFile);
    if (!newestInput) return false;
    for (const std::string& input : inputs) {
        const auto time = WriteTime(input);
        if (!time) return false;
        newestInput = std::max(*newestInput, *time);
    }
    for (const char* extension : {".bst", ".pct", ".loc"}) {
        const auto time = WriteTime((fs::path(item.Folder) / (modelStem + extension)).string());
        if (!time || *time <= *newestInput) return false;
    }
    return true;
}

struct FitOutcome {
    SummaryRow Row;
    bool Failed = false;
    std::optional<api::Sample> Fitted;  // a chain goes on from it
    std::vector<std::string> Columns;   // the parameter columns the row fills
};

std::string FailureText(const RunError& error) {
    return error.Where().empty() ? error.Message() : error.Message() + " (" + error.Where() + ")";
}

void FillResult(const api::FitResult& result, bool uncertainty, FitOutcome& out) {
    SummaryRow& row = out.Row;
    row["status"] = result.Stopped ? "stopped" : "ok";
    std::string message = result.Stopped ? kStoppedMessage : "";
    for (const std::string& warning : result.Warnings)
        message += (message.empty() ? "" : "; ") + warning;
    if (!message.empty()) row["message"] = message;
    row["reduced_chi_square"] = NumberText(result.ReducedChiSquare);
    for (const api::FittedParameter& p : result.Parameters) {
        out.Columns.push_back(p.Name);
        row[p.Name] = NumberText(p.Value);
        if (uncertainty) {
            const std::string column = p.Name + "_uncertainty";
            out.Columns.push_back(column);
            if (p.Uncertainty) row[column] = NumberText(*p.Uncertainty);
        }
    }
    row["evaluations"] = std::to_string(result.Evaluations);
    out.Fitted = result.Fitted;
}

FitOutcome FitOne(const BatchSettings& settings, const Item& item, const api::Sample* start,
                  const std::shared_ptr<api::StopRequest>& stop) {
    const Clock::time_point begin = Clock::now();
    const std::uint64_t seed = api::SeriesSeed(settings.Seed, item.Position);
    FitOutcome out;
    out.Row["index"] = std::to_string(item.Position);
    out.Row["data_file"] = item.DataFile;
    out.Row["seed"] = std::to_string(seed);
    const auto fail = [&out](const std::string& message) {
        out.Failed = true;
        out.Fitted.reset();
        out.Row["status"] = "failed";
        out.Row["message"] = message;
    };
    try {
        api::ReadOptions read = settings.Read;
        read.DataFile = item.DataFile;
        api::FitProblem problem = api::ReadProblem(settings.CommandFile, read);
        if (start) problem.Model = *start;
        api::FitControl control;
        control.Seed = seed;
        control.Threads = 1;
        control.NewtonStep = settings.NewtonStep;
        control.Uncertainty = settings.Uncertainty;
        control.MaxRespreads = settings.MaxRespreads;
        control.Search = settings.Search;
        control.Population = settings.Population;
        control.Generations = settings.Generations;
        control.Stop = stop;
        const api::FitResult result = api::Fit(problem, control);
        MakeFolder(item.Folder);
        // Flushed to the disk with the others before the summary records them.
        api::WriteResults(result, item.Folder, false);
        FillResult(result, settings.Uncertainty, out);
    } catch (const RunError& error) {
        fail(FailureText(error));
    } catch (const std::bad_alloc&) {
        fail("Not enough memory for this run.");
    } catch (const std::exception& error) {
        fail(std::string("internal error: ") + error.what());
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.4f", SecondsSince(begin));
    out.Row["wall_time_s"] = seconds;
    return out;
}

// What the workers share with the calling thread.
struct Shared {
    std::mutex Lock;
    std::condition_variable Changed;
    SummaryTable Table;
    std::size_t Next = 0;  // the next data set to start, of the ones to fit
    std::size_t Running = 0;
    BatchOutcome Outcome;
    BatchProgress Progress;
    bool Unwritten = false;  // rows the summary file does not hold yet
};

void Record(Shared& shared, FitOutcome&& outcome) {
    std::lock_guard lock(shared.Lock);
    for (const std::string& column : outcome.Columns) AddSummaryColumn(shared.Table, column);
    const std::string status = outcome.Row["status"];
    if (status == "ok") ++shared.Outcome.Ok;
    if (status == "stopped") ++shared.Outcome.Stopped;
    if (outcome.Failed) {
        ++shared.Outcome.Failed;
        ++shared.Progress.Failed;
        shared.Outcome.Failures.emplace_back(outcome.Row["data_file"], outcome.Row["message"]);
    }
    ++shared.Progress.Done;
    shared.Table.Rows.push_back(std::move(outcome.Row));
    shared.Unwritten = true;
    shared.Changed.notify_all();
}

// The summary names result sets as complete: they reach the disk first. The result
// files are renamed into place whole but not flushed one by one (that was the larger
// part of a small fit's time); one flush of the file system covers every set that the
// rows taken here name.
void WriteSummary(Shared& shared, const std::string& path) {
    std::string text;
    {
        std::lock_guard lock(shared.Lock);
        text = FormatSummary(shared.Table);
        shared.Unwritten = false;
    }
    api::FlushFolder(fs::path(path).parent_path().empty() ? std::string(".")
                                                          : fs::path(path).parent_path().string());
    api::WriteTextFile(path, text);
}

}  // namespace

std::string SummaryFileName(int shardIndex, int shardCount) {
    if (shardCount <= 1) return "summary.csv";
    return "summary-" + std::to_string(shardIndex) + "-of-" + std::to_string(shardCount) + ".csv";
}

BatchOutcome RunBatch(const BatchSettings& settings, const std::shared_ptr<api::StopRequest>& stop,
                      const std::function<void(const BatchProgress&)>& tick) {
    const Clock::time_point begin = Clock::now();
    if (settings.ShardCount < 1 || settings.ShardIndex < 0 ||
        settings.ShardIndex >= settings.ShardCount)
        throw RunError("The shard must be K/N with 0 <= K < N.",
                       std::to_string(settings.ShardIndex) + "/" +
                           std::to_string(settings.ShardCount));
    const api::CommandFile command =
        api::ParseCommandFile(api::ReadTextFile(settings.CommandFile), settings.CommandFile);
    const std::vector<Item> items = Plan(settings);
    MakeFolder(settings.OutFolder);
    const std::string summaryPath =
        (fs::path(settings.OutFolder) /
         SummaryFileName(settings.ShardIndex, settings.ShardCount)).string();

    Shared shared;
    shared.Table = EmptySummary();
    shared.Outcome.SummaryFile = summaryPath;
    shared.Outcome.Total = items.size();
    shared.Progress.Total = items.size();

    // The data sets an earlier run completed keep their rows.
    std::vector<const Item*> todo;
    SummaryTable earlier;
    std::map<std::string, const SummaryRow*> earlierRows;
    if (settings.Resume && fs::exists(summaryPath)) {
        earlier = ParseSummary(api::ReadTextFile(summaryPath), summaryPath);
        for (const SummaryRow& row : earlier.Rows)
            if (row.count("index")) earlierRows[row.at("index")] = &row;
    }
    const std::string modelStem = fs::path(command.ModelFileName).stem().string();
    const std::vector<std::string> inputs = CommonInputs(settings, command);
    for (const Item& item : items) {
        const auto found = earlierRows.find(std::to_string(item.Position));
        const SummaryRow* row = found == earlierRows.end() ? nullptr : found->second;
        if (settings.Resume && Complete(row, item, modelStem, inputs)) {
            for (const std::string& column : earlier.Columns)
                if (row->count(column)) AddSummaryColumn(shared.Table, column);
            shared.Table.Rows.push_back(*row);
            ++shared.Outcome.Ok;
            ++shared.Outcome.Skipped;
            ++shared.Progress.Skipped;
            ++shared.Progress.Done;
        } else {
            todo.push_back(&item);
        }
    }

    const auto work = [&]() {
        std::optional<api::Sample> start;  // a chain's model so far
        for (;;) {
            const Item* item = nullptr;
            {
                std::lock_guard lock(shared.Lock);
                if (stop->SearchEndRequested() || shared.Next == todo.size()) break;
                item = todo[shared.Next++];
            }
            FitOutcome outcome =
                FitOne(settings, *item, settings.Chain && start ? &*start : nullptr, stop);
            // A failed link leaves the chain at the last model that was fitted.
            if (settings.Chain && outcome.Fitted) start = outcome.Fitted;
            Record(shared, std::move(outcome));
        }
        std::lock_guard lock(shared.Lock);
        --shared.Running;
        shared.Changed.notify_all();
    };

    const std::size_t workers =
        settings.Chain ? 1 : std::min<std::size_t>(std::max(settings.Jobs, 1u), todo.size());
    std::vector<std::thread> threads;
    shared.Running = workers;
    for (std::size_t w = 0; w < workers; ++w) threads.emplace_back(work);

    Clock::time_point lastWrite = Clock::now();
    for (;;) {
        BatchProgress progress;
        bool writeNow = false;
        bool running = false;
        {
            std::unique_lock lock(shared.Lock);
            shared.Changed.wait_for(lock, kTickInterval);
            running = shared.Running > 0;
            progress = shared.Progress;
            writeNow = shared.Unwritten && Clock::now() - lastWrite >= kSummaryInterval;
        }
        progress.Seconds = SecondsSince(begin);
        if (tick) tick(progress);
        if (!running) break;
        if (writeNow) {
            lastWrite = Clock::now();
            try {
                WriteSummary(shared, summaryPath);
            } catch (const RunError&) {
                // Tried again at the next rows and at the end, where a failure is reported.
            }
        }
    }
    for (std::thread& thread : threads) thread.join();

    WriteSummary(shared, summaryPath);
    shared.Outcome.NotRun = shared.Outcome.Total - shared.Progress.Done;
    return shared.Outcome;
}

namespace {

// K and N of a file name "summary-K-of-N.csv"; false for any other name.
bool ShardOfName(const std::string& name, int& k, int& n) {
    const std::string prefix = "summary-", middle = "-of-", suffix = ".csv";
    if (name.rfind(prefix, 0) != 0 || name.size() <= prefix.size() + suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string core = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t at = core.find(middle);
    if (at == std::string::npos) return false;
    const auto number = [](const std::string& text, int& value) {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size();
    };
    return number(core.substr(0, at), k) && number(core.substr(at + middle.size()), n);
}

}  // namespace

std::pair<std::string, std::size_t> MergeShardSummaries(const std::string& folder) {
    std::map<int, std::map<int, std::string>> byCount;  // N -> K -> path
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        int k = 0, n = 0;
        if (ShardOfName(name, k, n)) byCount[n][k] = entry->path().string();
    }
    if (error) throw RunError(IoErrorMessage(IoCodeFromErrno(error.value())), folder);
    if (byCount.empty())
        throw RunError("No shard summaries (summary-K-of-N.csv) in the folder.", folder);
    if (byCount.size() > 1)
        throw RunError("The folder holds shard summaries of different shard counts.", folder);
    const auto& [count, shards] = *byCount.begin();
    std::vector<SummaryTable> tables;
    for (int k = 0; k < count; ++k) {
        const auto found = shards.find(k);
        if (found == shards.end())
            throw RunError("Shard " + std::to_string(k) + " of " + std::to_string(count) +
                               " has no summary.",
                           (fs::path(folder) / SummaryFileName(k, count)).string());
        tables.push_back(ParseSummary(api::ReadTextFile(found->second), found->second));
    }
    const SummaryTable merged = MergeSummaries(tables);
    const std::string path = (fs::path(folder) / SummaryFileName(0, 1)).string();
    api::WriteTextFile(path, FormatSummary(merged));
    return {path, merged.Rows.size()};
}

}  // namespace korvel
