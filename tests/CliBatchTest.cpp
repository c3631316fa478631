// korvel-cli batch and summary: every data set of a series fitted as a single fit
// fits it, a summary row each in the series' order, seeds that follow the data set's
// place whatever the workers and shards, failures recorded while the others finish,
// --resume, --chain, shard merging and Ctrl+C.

#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <sstream>
#include <map>

#include "BatchTestSupport.h"
#include "app/BatchRun.h"
#include "app/BatchSummary.h"
#include "base/RunError.h"
#include "korvel/korvel.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using testing::RunCli;
using testing::SummaryColumn;
using testing::TempFolder;

const char* const kResultNames[] = {"au-film-start.bst", "au-film-start.pct",
                                    "au-film-start.loc"};

std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string>& data,
                              std::vector<std::string> tail) {
    head.insert(head.end(), data.begin(), data.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(CliBatch, EachDataSetGetsTheFilesASingleFitWritesAndARowInTheSeriesOrder) {
    TempFolder folder;
    std::vector<std::string> data = testing::WriteSeries(folder, 3);
    folder.Write("bad.dat", "0.1 0.5 0.01\n0.2 abc 0.01\n");
    data.insert(data.begin() + 1, "missing.dat");
    data.insert(data.begin() + 3, "bad.dat");
    const auto cli = RunCli(Args({"batch", "demo.inp"}, data, {"--seed", "7", "--out", "out",
                                                               "--jobs", "2", "--quiet"}),
                            folder.Root());
    EXPECT_EQ(cli.ExitCode, 1) << cli.Stderr;
    EXPECT_EQ(cli.Stderr.find("batch: "), std::string::npos) << "--quiet shows no progress";
    EXPECT_NE(cli.Stderr.find("missing.dat: File not found."), std::string::npos) << cli.Stderr;

    const std::string summary = folder.Read("out/summary.csv");
    EXPECT_EQ(SummaryColumn(summary, "data_file"), data);
    EXPECT_EQ(SummaryColumn(summary, "status"),
              (std::vector<std::string>{"ok", "failed", "ok", "failed", "ok"}));
    EXPECT_EQ(SummaryColumn(summary, "index"),
              (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    const auto messages = SummaryColumn(summary, "message");
    EXPECT_EQ(messages[0], "");
    EXPECT_NE(messages[3].find("bad.dat, line 2"), std::string::npos) << messages[3];
    const auto seeds = SummaryColumn(summary, "seed");
    for (std::size_t p = 0; p < data.size(); ++p)
        EXPECT_EQ(seeds[p], std::to_string(api::SeriesSeed(7, p)));
    // The free parameters, as the limits file frees them, each a column of numbers.
    const auto thickness = SummaryColumn(summary, "Thickness:1");
    EXPECT_NEAR(std::stod(thickness[0]), 252.4, 1.0);
    EXPECT_EQ(thickness[1], "");
    EXPECT_EQ(SummaryColumn(summary, "Roughness:2").size(), data.size());

    // A single fit of a copy of the command file naming the data set, with the row's
    // seed, writes the same bytes.
    std::string command = folder.Read("demo.inp");
    command.replace(command.find("\ndemo.dat") + 1, 8, "s2.dat");
    folder.Write("single.inp", command);
    const auto single = RunCli({"fit", "single.inp", "--seed", seeds[4], "--quiet"}, folder.Root());
    ASSERT_EQ(single.ExitCode, 0) << single.Stderr;
    for (const char* name : kResultNames)
        EXPECT_EQ(folder.Read(std::string("out/s2/") + name), folder.Read(name)) << name;
    EXPECT_FALSE(fs::exists(folder.Root() / "out" / "missing"));
    EXPECT_TRUE(testing::LeftoverFiles(folder.Root() / "out").empty());
}

// The same files from one worker, two workers and two shards merged afterwards.
TEST(CliBatch, SeedsFollowThePlaceInTheSeriesWhateverTheJobsAndShards) {
    TempFolder folder;
    const std::vector<std::string> data = testing::WriteSeries(folder, 4);
    const auto run = [&](std::vector<std::string> extra) {
        const auto cli = RunCli(Args({"batch", "demo.inp"}, data, extra), folder.Root());
        EXPECT_EQ(cli.ExitCode, 0) << cli.Stderr;
    };
    run({"--seed", "11", "--out", "one", "--jobs", "1", "--quiet"});
    run({"--seed", "11", "--out", "two", "--jobs", "2", "--quiet"});
    run({"--seed", "11", "--out", "shards", "--shard", "1/2", "--quiet"});
    // The shards' tables alone do not make the series' table.
    const auto incomplete = RunCli({"summary", "shards"}, folder.Root());
    EXPECT_EQ(incomplete.ExitCode, 1);
    EXPECT_NE(incomplete.Stderr.find("Shard 0 of 2 has no summary."), std::string::npos)
        << incomplete.Stderr;
    run({"--seed", "11", "--out", "shards", "--shard", "0/2", "--quiet"});
    EXPECT_EQ(SummaryColumn(folder.Read("shards/summary-1-of-2.csv"), "data_file"),
              (std::vector<std::string>{"s1.dat", "s3.dat"}));

    for (const std::string stem : {"s0", "s1", "s2", "s3"})
        for (const char* name : kResultNames) {
            const std::string file = stem + "/" + name;
            const std::string reference = folder.Read("one/" + file);
            EXPECT_FALSE(reference.empty());
            EXPECT_EQ(folder.Read("two/" + file), reference) << file;
            EXPECT_EQ(folder.Read("shards/" + file), reference) << file;
        }

    const auto merged = RunCli({"summary", "shards"}, folder.Root());
    ASSERT_EQ(merged.ExitCode, 0) << merged.Stderr;
    EXPECT_EQ(testing::WithoutWallTime(folder.Read("shards/summary.csv")),
              testing::WithoutWallTime(folder.Read("one/summary.csv")));
    EXPECT_EQ(testing::WithoutWallTime(folder.Read("two/summary.csv")),
              testing::WithoutWallTime(folder.Read("one/summary.csv")));
}

TEST(CliBatch, ResumeFitsExactlyTheDataSetsWithoutCompleteNewerResults) {
    TempFolder folder;
    std::vector<std::string> data = testing::WriteSeries(folder, 4);
    fs::rename(folder.Root() / "s1.dat", folder.Root() / "later.dat");
    const auto first = RunCli(Args({"batch", "demo.inp"}, data, {"--seed", "3", "--out", "out",
                                                                 "--quiet"}),
                              folder.Root());
    ASSERT_EQ(first.ExitCode, 1);  // s1.dat is missing

    // s1.dat arrives, s3.dat is measured again; s0 and s2 stand.
    fs::rename(folder.Root() / "later.dat", folder.Root() / "s1.dat");
    fs::last_write_time(folder.Root() / "s3.dat",
                        fs::file_time_type::clock::now() + std::chrono::minutes(1));
    std::map<std::string, fs::file_time_type> written;
    for (const std::string stem : {"s0", "s2", "s3"})
        written[stem] = fs::last_write_time(folder.Root() / "out" / stem / "au-film-start.pct");
    const auto resumed = RunCli(Args({"batch", "demo.inp"}, data, {"--seed", "3", "--out", "out",
                                                                   "--resume", "--quiet"}),
                                folder.Root());
    ASSERT_EQ(resumed.ExitCode, 0) << resumed.Stderr;
    EXPECT_NE(resumed.Stdout.find("ok 4 (skipped 2)"), std::string::npos) << resumed.Stdout;
    const auto now = [&](const std::string& stem) {
        return fs::last_write_time(folder.Root() / "out" / stem / "au-film-start.pct");
    };
    EXPECT_EQ(now("s0"), written["s0"]);
    EXPECT_EQ(now("s2"), written["s2"]);
    EXPECT_NE(now("s3"), written["s3"]);
    EXPECT_TRUE(fs::exists(folder.Root() / "out" / "s1" / "au-film-start.pct"));
    const std::string summary = folder.Read("out/summary.csv");
    EXPECT_EQ(SummaryColumn(summary, "status"),
              (std::vector<std::string>(4, "ok")));
    EXPECT_EQ(SummaryColumn(summary, "data_file"), data);
}

// The endless fit for every data set, one at a time: Ctrl+C ends the first, whose
// results and row are written; the others are not started.
TEST(CliBatch, CtrlCStopsTheRunningFitsAndWritesTheSummarySoFar) {
    TempFolder folder;
    testing::WriteEndlessFit(folder.Root());
    for (const char* name : {"a.dat", "b.dat", "c.dat"})
        fs::copy_file(folder.Root() / "long.dat", folder.Root() / name);
    testing::BackgroundCli cli({"batch", "long.inp", "a.dat", "b.dat", "c.dat", "--jobs", "1",
                                "--seed", "1", "--out", "out"},
                               folder.Root());
    ASSERT_TRUE(cli.Started());
    ASSERT_TRUE(cli.WaitUntil([&] { return cli.Stderr().find("batch: 0/3") != std::string::npos; }));
    cli.Signal(SIGINT);
    const int status = cli.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << cli.Stderr();
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(cli.Stderr().find("the batch was stopped; 2 data sets were not fitted"),
              std::string::npos)
        << cli.Stderr();
    const std::string summary = folder.Read("out/summary.csv");
    EXPECT_EQ(SummaryColumn(summary, "data_file"), (std::vector<std::string>{"a.dat"}));
    EXPECT_EQ(SummaryColumn(summary, "status"), (std::vector<std::string>{"stopped"}));
    EXPECT_EQ(testing::CrLfLines(folder.Read("out/a/ml.pct")).size(), testing::kLongFitPoints);
    EXPECT_FALSE(fs::exists(folder.Root() / "out" / "b"));
}

// A population search and a column data file in a batch give what a single fit with
// the same options and seed gives.
TEST(CliBatch, SearchMethodsAndColumnDataFilesAreTheSingleFitsOnes) {
    TempFolder folder;
    testing::WriteSeries(folder, 1);
    // The demo's first curve as a commented Qz, R, dR file (Cu K-alpha, 1.5406 A).
    std::istringstream in(folder.Read("s0.dat"));
    std::ostringstream columns;
    columns.precision(17);
    columns << "# Qz R dR\n";
    double angle, r, dr;
    while (in >> angle >> r >> dr)
        columns << 4.0 * 3.14159265358979323846 * std::sin(angle * 3.14159265358979323846 / 180.0) /
                       1.5406
                << " " << r << " " << dr << "\n";
    folder.Write("q0.txt", columns.str());
    const std::vector<std::string> options = {"--optimizer", "de", "--population", "12",
                                              "--generations", "15", "--quiet"};
    const auto cli = RunCli(Args({"batch", "demo.inp", "s0.dat", "q0.txt", "--seed", "5",
                                  "--out", "out"},
                                 options, {}),
                            folder.Root());
    ASSERT_EQ(cli.ExitCode, 0) << cli.Stderr;
    const auto seeds = SummaryColumn(folder.Read("out/summary.csv"), "seed");
    ASSERT_EQ(seeds.size(), 2u);
    const std::string command = folder.Read("demo.inp");
    for (const auto& [data, position] : {std::pair{std::string("s0.dat"), 0},
                                         std::pair{std::string("q0.txt"), 1}}) {
        std::string single = command;
        single.replace(single.find("\ndemo.dat") + 1, 8, data);
        folder.Write("single.inp", single);
        const auto fit = RunCli(Args({"fit", "single.inp", "--seed", seeds[position]}, options, {}),
                                folder.Root());
        ASSERT_EQ(fit.ExitCode, 0) << fit.Stderr;
        EXPECT_NE(fit.Stdout.find("method: self-adaptive differential evolution"),
                  std::string::npos);
        const std::string stem = fs::path(data).stem().string();
        for (const char* name : kResultNames)
            EXPECT_EQ(folder.Read("out/" + stem + "/" + name), folder.Read(name)) << data << name;
    }
}

TEST(CliBatch, RefusesWhatItCannotDo) {
    TempFolder folder;
    const std::vector<std::string> data = testing::WriteSeries(folder, 2);
    for (const std::vector<std::string>& usage :
         std::vector<std::vector<std::string>>{{"batch", "demo.inp"},
                                               {"batch", "demo.inp", "s0.dat", "--plot", "x.svg"},
                                               {"batch", "demo.inp", "s0.dat", "--shard", "2/2"},
                                               {"batch", "demo.inp", "s0.dat", "--shard", "1"},
                                               {"batch", "demo.inp", "s0.dat", "--jobs", "0"},
                                               {"batch", "demo.inp", "s0.dat", "--chain",
                                                "--shard", "0/2"},
                                               {"summary"}}) {
        const auto cli = RunCli(usage, folder.Root());
        EXPECT_EQ(cli.ExitCode, 2) << usage.back() << ": " << cli.Stderr;
    }
    // Two data files whose results would share a folder: nothing is fitted.
    fs::create_directory(folder.Root() / "again");
    fs::copy_file(folder.Root() / "s0.dat", folder.Root() / "again" / "s0.dat");
    const auto clash =
        RunCli({"batch", "demo.inp", "s0.dat", "again/s0.dat", "--out", "out"}, folder.Root());
    EXPECT_EQ(clash.ExitCode, 1);
    EXPECT_NE(clash.Stderr.find("Two data files would write their results into one folder"),
              std::string::npos)
        << clash.Stderr;
    EXPECT_FALSE(fs::exists(folder.Root() / "out"));
}

// A chain starts each fit from the model the one before ended with: the second data
// set's files are those of a fit of its problem started from the first's result.
TEST(BatchRun, AChainStartsEachFitFromThePreviousResult) {
    TempFolder folder;
    const std::vector<std::string> names = testing::WriteSeries(folder, 2);
    BatchSettings settings;
    settings.CommandFile = folder / "demo.inp";
    for (const std::string& name : names) settings.DataFiles.push_back(folder / name);
    settings.OutFolder = folder / "out";
    settings.Seed = 5;
    settings.Chain = true;
    const BatchOutcome outcome =
        RunBatch(settings, std::make_shared<api::StopRequest>(), nullptr);
    ASSERT_TRUE(outcome.AllOk());

    api::ReadOptions read;
    api::FitControl control;
    read.DataFile = settings.DataFiles[0];
    control.Seed = api::SeriesSeed(5, 0);
    const api::FitResult first = api::Fit(api::ReadProblem(settings.CommandFile, read), control);
    read.DataFile = settings.DataFiles[1];
    api::FitProblem second = api::ReadProblem(settings.CommandFile, read);
    control.Seed = api::SeriesSeed(5, 1);
    const api::FitResult unchained = api::Fit(second, control);
    second.Model = first.Fitted;
    const api::FitResult chained = api::Fit(second, control);

    EXPECT_EQ(folder.Read("out/s0/au-film-start.bst"), first.BstText);
    EXPECT_EQ(folder.Read("out/s1/au-film-start.loc"), chained.LocText);
    EXPECT_EQ(folder.Read("out/s1/au-film-start.bst"), chained.BstText);
    EXPECT_NE(chained.LocText, unchained.LocText);
}

TEST(BatchSummary, CellsWithCommasQuotesAndLineBreaksReadBackAndShardsMergeInOrder) {
    SummaryTable odd = EmptySummary();
    AddSummaryColumn(odd, "Thickness:1");
    odd.Rows.push_back({{"index", "2"}, {"data_file", "a,b.dat"}, {"status", "failed"},
                        {"message", "said \"no\"\r\non two lines"}});
    odd.Rows.push_back({{"index", "0"}, {"data_file", "x.dat"}, {"Thickness:1", "12.5"}});
    const std::string text = FormatSummary(odd);
    EXPECT_EQ(text.substr(0, text.find("\r\n")),
              "index,data_file,status,message,reduced_chi_square,Thickness:1,evaluations,seed,"
              "wall_time_s");
    const SummaryTable read = ParseSummary(text, "summary.csv");
    EXPECT_EQ(read.Columns, odd.Columns);
    ASSERT_EQ(read.Rows.size(), 2u);
    EXPECT_EQ(read.Rows[0].at("data_file"), "x.dat");  // written in index order
    EXPECT_EQ(read.Rows[1].at("data_file"), "a,b.dat");
    EXPECT_EQ(read.Rows[1].at("message"), "said \"no\"\r\non two lines");

    // A shard whose every fit failed has no parameter columns; the merge has them all.
    SummaryTable failedShard = EmptySummary();
    failedShard.Rows.push_back({{"index", "1"}, {"status", "failed"}});
    const SummaryTable merged = MergeSummaries({read, failedShard});
    EXPECT_EQ(merged.Columns, odd.Columns);
    ASSERT_EQ(merged.Rows.size(), 3u);
    EXPECT_EQ(merged.Rows[1].at("status"), "failed");
    EXPECT_THROW(MergeSummaries({read, read}), RunError);
    EXPECT_THROW(ParseSummary("data_file,status\r\n", "x.csv"), RunError);
}

}  // namespace
}  // namespace korvel
