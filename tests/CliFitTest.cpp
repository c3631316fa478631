// korvel-cli fit end to end: the bundled demo recovers its known model, a fixed
// seed repeats the result files exactly, the options answer the run's dialogs,
// Ctrl+C still leaves result files, and failures exit with code 1.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "CliTestSupport.h"

namespace korvel {
namespace {

using testing::BackgroundCli;
using testing::CrLfLines;
using testing::ReadText;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteText;
namespace fs = testing::fs;

class CliFitTest : public ::testing::Test {
  protected:
    void CopyDemo() { testing::CopyDemo(folder.Path()); }
    // A command file in the demo's folder; `mode` F fits, anything else only evaluates.
    void WriteCommandFile(const std::string& name, const std::string& data, char mode,
                          char errorsFromFile, const std::string& iterations = "3000") {
        WriteText(folder / name, data + "\n" + mode + "\nN\n" + errorsFromFile +
                                     "\nau-film-start.mdl\nau-film.lmt\n1.0e-6\n" + iterations +
                                     "\n0\nM\n");
    }
    static std::map<std::string, double> FittedValues(const std::string& output) {
        std::map<std::string, double> values;
        std::istringstream lines(output);
        std::string line;
        while (std::getline(lines, line)) {
            const auto equals = line.find(" = ");
            if (line.rfind("  ", 0) != 0 || equals == std::string::npos) continue;
            values[line.substr(2, equals - 2)] = std::stod(line.substr(equals + 3));
        }
        return values;
    }

    TempFolder folder;
};

TEST_F(CliFitTest, DemoRecoversTheTrueModelAndTheSameSeedRepeatsTheResultFiles) {
    CopyDemo();
    const auto first = RunCli({"fit", "demo.inp", "--seed", "11", "--quiet"}, folder.Path());
    ASSERT_EQ(first.ExitCode, 0) << first.Stderr;
    EXPECT_EQ(first.Stderr, "");
    const std::string bst = ReadText(folder / "au-film-start.bst");
    const std::string pct = ReadText(folder / "au-film-start.pct");
    const std::string loc = ReadText(folder / "au-film-start.loc");
    EXPECT_NE(first.Stdout.find(fs::weakly_canonical(folder / "au-film-start.bst").string()),
              std::string::npos);

    const auto fitted = FittedValues(first.Stdout);
    ASSERT_EQ(fitted.size(), 4u) << first.Stdout;
    EXPECT_NEAR(fitted.at("Thickness:1"), 252.4, 1.0);
    EXPECT_NEAR(fitted.at("ReDensity:1"), 4.61e-5, 0.05e-5);
    EXPECT_NEAR(fitted.at("Roughness:1"), 4.6, 0.5);
    EXPECT_NEAR(fitted.at("Roughness:2"), 3.1, 1.0);
    EXPECT_EQ(CrLfLines(pct).size(), 601u);

    const auto second = RunCli({"fit", "demo.inp", "--seed", "11", "--quiet"}, folder.Path());
    ASSERT_EQ(second.ExitCode, 0) << second.Stderr;
    EXPECT_EQ(ReadText(folder / "au-film-start.bst"), bst);
    EXPECT_EQ(ReadText(folder / "au-film-start.pct"), pct);
    EXPECT_EQ(ReadText(folder / "au-film-start.loc"), loc);
    EXPECT_EQ(second.Stdout, first.Stdout);
}

TEST_F(CliFitTest, ReportWritesTheViewsAndATableOfTheValuesTheResultFilesHold) {
    CopyDemo();
    const auto plain = RunCli({"fit", "demo.inp", "--seed", "11", "--quiet"}, folder.Path());
    ASSERT_EQ(plain.ExitCode, 0) << plain.Stderr;
    const std::string bst = ReadText(folder / "au-film-start.bst");
    const auto result = RunCli({"fit", "demo.inp", "--seed", "11", "--quiet", "--report",
                                "views/demo"},
                               folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    // The report changes no result file.
    EXPECT_EQ(ReadText(folder / "au-film-start.bst"), bst);
    EXPECT_NE(result.Stdout.find("report: views/demo/fit.svg\n"), std::string::npos)
        << result.Stdout;

    const std::string fit = ReadText(folder / "views/demo/fit.svg");
    EXPECT_NE(fit.find("(R \u2212 Rfit) / \u0394R"), std::string::npos);
    // The start model dashed beside the fitted one.
    EXPECT_NE(ReadText(folder / "views/demo/profile.svg").find("stroke-dasharray=\"10 6\""),
              std::string::npos);

    // fitted.csv: the printed fitted values, the start model's, the limits file's.
    const auto printed = FittedValues(plain.Stdout);
    std::istringstream csv(ReadText(folder / "views/demo/fitted.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line.rfind("# reduced chi-square: ", 0), 0u) << line;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(csv, line)) {
        if (line.rfind("#", 0) == 0) continue;
        std::vector<std::string> cells;
        std::istringstream fields(line);
        std::string cell;
        while (std::getline(fields, cell, ',')) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.push_back("");
        rows.push_back(cells);
    }
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"name", "start", "fitted", "uncertainty",
                                                 "lower", "upper", "at_limit"}));
    const std::map<std::string, std::vector<std::string>> expected = {
        {"Thickness:1", {"235", "200", "300"}},
        {"ReDensity:1", {"4.3e-05", "3.5e-05", "5.5e-05"}},
        {"Roughness:1", {"7", "1", "12"}},
        {"Roughness:2", {"5", "1", "10"}}};
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto& row = rows[r];
        ASSERT_EQ(row.size(), 7u) << row[0];
        ASSERT_TRUE(expected.count(row[0])) << row[0];
        EXPECT_EQ(row[1], expected.at(row[0])[0]);
        const double value = std::stod(row[2]);
        EXPECT_NEAR(value, printed.at(row[0]), 1e-5 * std::fabs(value)) << row[0];
        EXPECT_EQ(row[3], "");  // no uncertainty estimate
        EXPECT_EQ(row[4], expected.at(row[0])[1]);
        EXPECT_EQ(row[5], expected.at(row[0])[2]);
        EXPECT_EQ(row[6], "");
    }
}

TEST_F(CliFitTest, AReportFolderThatCannotBeMadeStopsTheRunBeforeAnyResultIsWritten) {
    CopyDemo();
    WriteText(folder / "taken", "a file, not a folder\n");
    const auto result =
        RunCli({"fit", "demo.inp", "--quiet", "--report", "taken"}, folder.Path());
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Stderr.find("Cannot create the report folder."), std::string::npos)
        << result.Stderr;
    EXPECT_FALSE(fs::exists(folder / "au-film-start.bst"));
}

TEST_F(CliFitTest, WeightingOptionsAnswerTheWeightingDialog) {
    CopyDemo();
    // Two columns of the demo data and no free parameter: one evaluation, then results.
    std::istringstream data(ReadText(folder / "demo.dat"));
    std::string twoColumns;
    std::string line;
    while (std::getline(data, line)) twoColumns += line.substr(0, line.rfind("  ")) + "\n";
    WriteText(folder / "two.dat", twoColumns);
    WriteCommandFile("eval.inp", "two.dat", 'S', 'N');

    const std::map<std::string, std::string> expected = {
        {"fresnel", "Residue weight  : Fresnel"},
        {"fraction:0.05", "Residue weight  : Iexp* 0.050"},
        {"", "Residue weight  : Iexp* 0.030"},
    };
    for (const auto& [weights, text] : expected) {
        std::vector<std::string> arguments = {"fit", "eval.inp", "--quiet"};
        if (!weights.empty()) arguments.insert(arguments.end(), {"--weights", weights});
        const auto result = RunCli(arguments, folder.Path());
        ASSERT_EQ(result.ExitCode, 0) << weights << result.Stderr;
        EXPECT_NE(ReadText(folder / "au-film-start.bst").find(text), std::string::npos) << weights;
    }
}

TEST_F(CliFitTest, DialogOnlySettingsComeFromTheOptions) {
    CopyDemo();
    // The demo's angles as Qz at 1.5406 A.
    std::istringstream data(ReadText(folder / "demo.dat"));
    std::ostringstream qzData;
    qzData.precision(10);
    double angle, r, dr;
    while (data >> angle >> r >> dr)
        qzData << 4.0 * std::numbers::pi * std::sin(angle * std::numbers::pi / 180.0) / 1.5406
               << " " << r << " " << dr << "\n";
    WriteText(folder / "qz.dat", qzData.str());
    WriteCommandFile("eval.inp", "qz.dat", 'S', 'Y');
    const auto result = RunCli({"fit", "eval.inp", "--qz", "--quiet"}, folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    const auto lines = CrLfLines(ReadText(folder / "au-film-start.pct"));
    ASSERT_EQ(lines.size(), 601u);
    EXPECT_NEAR(std::stod(lines[0].substr(0, 15)),
                4.0 * std::numbers::pi * std::sin(0.1 * std::numbers::pi / 180.0) / 1.5406, 1e-7);

    // The same numbers read as Qc^2 and mu describe another sample.
    const auto units =
        RunCli({"fit", "eval.inp", "--qz", "--density-units", "3", "--quiet"}, folder.Path());
    ASSERT_EQ(units.ExitCode, 0) << units.Stderr;
    const auto other = CrLfLines(ReadText(folder / "au-film-start.pct"));
    ASSERT_EQ(other.size(), 601u);
    EXPECT_EQ(other[300].substr(0, 31), lines[300].substr(0, 31));
    EXPECT_NE(other[300].substr(32), lines[300].substr(32));
}

TEST_F(CliFitTest, ProgressGoesToStderrUnlessQuiet) {
    CopyDemo();
    WriteCommandFile("short.inp", "demo.dat", 'F', 'Y', "20");
    const auto result =
        RunCli({"fit", "short.inp", "--seed", "3", "--max-respreads", "1"}, folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    EXPECT_NE(result.Stderr.find("Local"), std::string::npos) << result.Stderr;
    EXPECT_NE(result.Stderr.find("Maximum iterations exceeded."), std::string::npos);
    EXPECT_NE(result.Stderr.find("Done!!!   Press OK to continue"), std::string::npos);
}

TEST_F(CliFitTest, PrintsTheSeedOfARunWithoutOneAndThatSeedRepeatsIt) {
    CopyDemo();
    WriteCommandFile("short.inp", "demo.dat", 'F', 'Y', "20");
    const auto first =
        RunCli({"fit", "short.inp", "--max-respreads", "1", "--quiet"}, folder.Path());
    ASSERT_EQ(first.ExitCode, 0) << first.Stderr;
    const auto at = first.Stdout.find("\nseed: ");
    ASSERT_NE(at, std::string::npos) << first.Stdout;
    // Right after the result paths.
    EXPECT_NE(first.Stdout.rfind("au-film-start.loc", at), std::string::npos);
    const std::string seed = first.Stdout.substr(at + 7, first.Stdout.find('\n', at + 1) - at - 7);
    const std::string loc = ReadText(folder / "au-film-start.loc");
    const std::string bst = ReadText(folder / "au-film-start.bst");

    const auto again = RunCli(
        {"fit", "short.inp", "--max-respreads", "1", "--quiet", "--seed", seed}, folder.Path());
    ASSERT_EQ(again.ExitCode, 0) << again.Stderr;
    EXPECT_EQ(again.Stdout, first.Stdout);
    EXPECT_EQ(ReadText(folder / "au-film-start.loc"), loc);
    EXPECT_EQ(ReadText(folder / "au-film-start.bst"), bst);
}

TEST_F(CliFitTest, WarningsGoToStderrAlsoWhenQuiet) {
    CopyDemo();
    // Written for the film only: the substrate's rows are missing.
    WriteText(folder / "au-film.lmt",
              "200 300 10\n3.5e-5 5.5e-5 10\n4.927e-6 4.927e-6 0\n1 12 30\n");
    WriteCommandFile("short.inp", "demo.dat", 'F', 'Y', "20");
    const auto result = RunCli({"fit", "short.inp", "--seed", "3", "--quiet"}, folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    EXPECT_EQ(result.Stderr,
              "warning: au-film.lmt: the limits file ends before the limits of [Thickness:2] "
              "(layer 2, column 1); the missing numbers read as 0, which fixes it and every "
              "parameter after it.\n");
    EXPECT_EQ(FittedValues(result.Stdout).size(), 3u) << result.Stdout;
}

TEST_F(CliFitTest, AFitThatWouldNeverEndStopsAtTheReSpreadLimitAndCountsCallsOn) {
    // The demo with a cut-off level of 0.5 (on 61 of its points): every tunnelling run
    // ends with "Too big step." and the global step spreads anew without end. The same
    // with the points stretched to high angles and Fresnel weights.
    CopyDemo();
    std::istringstream all(ReadText(folder / "demo.dat"));
    std::string thin;
    std::string line;
    for (int i = 0; std::getline(all, line); ++i)
        if (i % 10 == 0) thin += line + "\n";
    WriteText(folder / "thin.dat", thin);
    WriteText(folder / "thin.inp",
              "thin.dat\nF\nN\nY\nau-film-start.mdl\nau-film.lmt\n1.0e-6\n3000\n0.5\nM\n");
    const auto bounded = RunCli({"fit", "thin.inp", "--seed", "1"}, folder.Path());
    ASSERT_EQ(bounded.ExitCode, 0) << bounded.Stderr;
    const std::string marker = "\nGlobal step ended: Re-spread limit reached.  #Calls ";
    EXPECT_NE(bounded.Stderr.find(marker), std::string::npos)
        << bounded.Stderr.substr(bounded.Stderr.size() > 2000 ? bounded.Stderr.size() - 2000 : 0);
    EXPECT_NE(ReadText(folder / "au-film-start.bst").find("Norma   = "), std::string::npos);

    // The same points stretched from 0.1 to 89.9 degrees, weighted by the Fresnel curve.
    std::istringstream rows(thin);
    std::string stretched;
    std::string angle;
    std::string intensity;
    std::string uncertainty;
    for (int i = 0; rows >> angle >> intensity >> uncertainty; ++i)
        stretched += std::to_string(0.1 + 89.8 * i / 60.0) + " " + intensity + "\n";
    WriteText(folder / "stretched.dat", stretched);
    WriteText(folder / "stretched.inp",
              "stretched.dat\nF\nN\nN\nau-film-start.mdl\nau-film.lmt\n1.0e-6\n3000\n0\nM\n");
    const auto fresnel =
        RunCli({"fit", "stretched.inp", "--seed", "1", "--weights", "fresnel"}, folder.Path());
    ASSERT_EQ(fresnel.ExitCode, 0) << fresnel.Stderr;
    EXPECT_NE(fresnel.Stderr.find(marker), std::string::npos);

    // More evaluations than the 16-bit counter holds: "#Calls" counts on.
    const auto longer =
        RunCli({"fit", "thin.inp", "--seed", "1", "--max-respreads", "1200"}, folder.Path());
    ASSERT_EQ(longer.ExitCode, 0) << longer.Stderr;
    const auto at = longer.Stderr.find(marker);
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(std::stoll(longer.Stderr.substr(at + marker.size())), 65535);
    // The report keeps the program's 16-bit count.
    const std::string bst = ReadText(folder / "au-film-start.bst");
    const auto calls = bst.find("#Calls  = ");
    ASSERT_NE(calls, std::string::npos);
    EXPECT_LT(std::stoll(bst.substr(calls + 10)), 65536);
}

TEST_F(CliFitTest, FailuresExitWithCodeOneAndTheProgramsMessage) {
    const auto missing = RunCli({"fit", "absent.inp"}, folder.Path());
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_EQ(missing.Stderr.rfind("korvel-cli: File not found.\n", 0), 0u) << missing.Stderr;

    CopyDemo();
    // A start value outside its limits.
    WriteText(folder / "au-film-start.mdl",
              "1.5406 0.0004 0.008 0.05 0 0\n1 0 0 0\n350 4.3e-5 4.927e-6 7\n0 7.578e-6 "
              "1.731e-7 5\n");
    const auto outside = RunCli({"fit", "demo.inp", "--quiet"}, folder.Path());
    EXPECT_EQ(outside.ExitCode, 1);
    EXPECT_NE(outside.Stderr.find("korvel-cli: Parameter [R 1 :C 1 ] out of range.\n"),
              std::string::npos)
        << outside.Stderr;
}

TEST_F(CliFitTest, InterruptEndsTheSearchAndStillWritesTheResultFiles) {
    CopyDemo();
    testing::WriteEndlessFit(folder.Path());
    BackgroundCli cli({"fit", folder / "long.inp", "--seed", "5"}, folder.Path());
    ASSERT_TRUE(cli.Started());

    // Interrupt once the search is under way.
    cli.WaitUntil([&] { return cli.Stderr().find("Ctrl+C") != std::string::npos; });
    cli.Signal(SIGINT);  // at once: with the batch engine the whole search takes well under 1 s

    const int status = cli.Wait(120);
    ASSERT_NE(status, -1) << "the fit did not end after the interrupt";
    ASSERT_TRUE(WIFEXITED(status)) << cli.Stderr();
    EXPECT_EQ(WEXITSTATUS(status), 0) << cli.Stderr();
    EXPECT_NE(cli.Stderr().find("Full stop by user."), std::string::npos) << cli.Stderr();
    EXPECT_NE(ReadText(folder / "ml.bst").find("Norma   = "), std::string::npos);
    EXPECT_EQ(CrLfLines(ReadText(folder / "ml.pct")).size(), testing::kLongFitPoints);
    EXPECT_NE(cli.Stdout().find("Thickness:1 = "), std::string::npos);
}

TEST_F(CliFitTest, InterruptWhileTheStartingSimplexIsEvaluatedActsBeforeTheNextVertex) {
    // 30 films with free thickness and roughness (61 vertices) on 30000 points by the
    // Parratt recursion: the starting simplex alone takes many evaluations. Ctrl+C while
    // the first of them runs is heard before the next one starts: no search and no Newton
    // step run, and the best vertex evaluated so far is written.
    std::string model = "1.5406 0 0 0 0 0\n30 0 0 0\n";
    std::string limits;
    for (int layer = 1; layer <= 30; ++layer) {
        model += "20 1e-5 1e-7 3\n";
        limits += "10 30 10\n0 0 0\n0 0 0\n1 5 10\n";
    }
    model += "0 7.6e-6 1.7e-7 3\n";
    limits += "0 0 0\n0 0 0\n0 0 0\n0 0 0\n";
    WriteText(folder / "films.mdl", model);
    WriteText(folder / "films.lmt", limits);
    std::string data;
    for (int i = 1; i <= 30000; ++i)
        data += std::to_string(0.05 + 4.0 * i / 30000.0) + " 1e-3 1e-5\n";
    WriteText(folder / "films.dat", data);
    WriteText(folder / "films.inp", "films.dat\nF\nN\nY\nfilms.mdl\nfilms.lmt\n1e-6\n3000\n0\nP\n");
    BackgroundCli cli({"fit", folder / "films.inp", "--seed", "5", "--newton"}, folder.Path());
    ASSERT_TRUE(cli.Started());
    ASSERT_TRUE(cli.WaitUntil([&] {
        return cli.Stderr().find("initial simplex: 61 of 61") != std::string::npos;
    })) << cli.Stderr();
    cli.Signal(SIGINT);

    const int status = cli.Wait(120);
    const std::string err = cli.Stderr();
    ASSERT_TRUE(status != -1 && WIFEXITED(status)) << err;
    ASSERT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_NE(err.find("interrupted"), std::string::npos) << err;
    EXPECT_EQ(err.find("run ended"), std::string::npos) << err;  // no simplex run at all
    EXPECT_EQ(err.find("Newton Step"), std::string::npos) << err;
    EXPECT_EQ(ReadText(folder / "films.loc"), "");
    const std::string bst = ReadText(folder / "films.bst");
    // The vertex under way when the signal came (a few, should the test itself have been
    // slow to send it) and the evaluation of the result: far fewer than the 61 vertices.
    const auto calls = bst.find("#Calls  = ");
    ASSERT_NE(calls, std::string::npos) << bst;
    EXPECT_LT(std::stoi(bst.substr(calls + 10)), 10) << bst.substr(calls, 20);
    EXPECT_NE(cli.Stdout().find("results: "), std::string::npos);
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

TEST(CliFitSearch, DifferentialEvolutionPrintsItsMethodAndTheSampleWritesItsChain) {
    testing::TempFolder folder;
    testing::CopyDemo(folder.Path());
    const auto result = testing::RunCli({"fit", "demo.inp", "--seed", "4", "--quiet",
                                         "--optimizer", "de", "--population", "12",
                                         "--generations", "30", "--mcmc", "20", "--report",
                                         "views"},
                                        folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    EXPECT_NE(result.Stdout.find("method: self-adaptive differential evolution"), std::string::npos);
    EXPECT_NE(result.Stdout.find("search: "), std::string::npos);
    EXPECT_NE(result.Stdout.find("posterior (16 walkers, 20 steps"), std::string::npos);
    EXPECT_NE(result.Stdout.find("warning: the chain is too short"), std::string::npos);
    EXPECT_TRUE(testing::fs::exists(folder.Path() / "au-film-start.mcmc.csv"));
    // The report adds the corner plot of the free parameters and the band of profiles.
    EXPECT_NE(result.Stdout.find("        views/corner.svg\n"), std::string::npos);
    const std::string corner = testing::ReadText(folder.Path() / "views/corner.svg");
    for (const char* name : {"Thickness:1", "Roughness:2"})
        EXPECT_NE(corner.find(name), std::string::npos) << name;
    EXPECT_NE(testing::ReadText(folder.Path() / "views/profile.svg").find("Posterior samples"),
              std::string::npos);
}

TEST(CliFitSearch, SearchOptionsThatMakeNoSenseAreUsageErrors) {
    testing::TempFolder folder;
    testing::CopyDemo(folder.Path());
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--optimizer", "simulated-annealing"},
                                               {"--population", "20"},
                                               {"--optimizer", "de", "--population", "2"},
                                               {"--optimizer", "pso", "--generations", "0"},
                                               {"--mcmc", "-5"},
                                               {"--walkers", "20"}}) {
        std::vector<std::string> line{"fit", "demo.inp"};
        line.insert(line.end(), arguments.begin(), arguments.end());
        const auto result = testing::RunCli(line, folder.Path());
        EXPECT_EQ(result.ExitCode, 2) << arguments[0] << " " << arguments[1];
        // The message names the offending option, the last one given.
        EXPECT_NE(result.Stderr.find(arguments[arguments.size() - 2]), std::string::npos)
            << result.Stderr;
    }
    EXPECT_FALSE(testing::fs::exists(folder.Path() / "au-film-start.bst"));
}

}  // namespace
}  // namespace korvel
