// korvel-cli as a user runs it: the simulate command end to end, its exit codes,
// and the strict reading of the command line.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliTestSupport.h"

namespace korvel {
namespace {

using testing::CrLfLines;
using testing::FilmModel;
using testing::ReadText;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteText;
namespace fs = testing::fs;

class CliSimulateTest : public ::testing::Test {
  protected:
    TempFolder folder;
};

TEST_F(CliSimulateTest, VersionAndHelpSucceed) {
    const auto version = RunCli({"--version"}, folder.Path());
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Stdout, "korvel-cli " KORVEL_VERSION "\n");
    for (const std::vector<std::string>& help :
         {std::vector<std::string>{"--help"}, {"simulate", "--help"}, {"fit", "--help"}}) {
        const auto result = RunCli(help, folder.Path());
        EXPECT_EQ(result.ExitCode, 0);
        EXPECT_NE(result.Stdout.find("usage:"), std::string::npos);
    }
}

TEST_F(CliSimulateTest, ProfileDrawsTheModelAndMayNotReplaceAnInput) {
    WriteText(folder / "film.mdl", FilmModel());
    const auto result = RunCli({"simulate", "film.mdl", "--profile", "film-profile.svg"},
                               folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    EXPECT_NE(result.Stdout.find("film-profile.svg\n"), std::string::npos);
    const std::string svg = ReadText(folder / "film-profile.svg");
    EXPECT_NE(svg.find("Depth below the top surface"), std::string::npos);
    EXPECT_EQ(svg.find("stroke-dasharray=\"10 6\""), std::string::npos);  // no start model

    const std::string model = ReadText(folder / "film.mdl");
    fs::remove(folder / "film.sml");
    const auto refused = RunCli({"simulate", "film.mdl", "--profile", "film.mdl"}, folder.Path());
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_NE(refused.Stderr.find("An input file would be overwritten by the profile file."),
              std::string::npos)
        << refused.Stderr;
    EXPECT_EQ(ReadText(folder / "film.mdl"), model);
    EXPECT_FALSE(fs::exists(folder / "film.sml"));
}

TEST_F(CliSimulateTest, DefaultGridWritesTheSmlBesideTheModelAndPrintsItsPath) {
    WriteText(folder / "models/sample.mdl", FilmModel());
    fs::create_directories(folder.Path() / "elsewhere");
    const auto result = RunCli({"simulate", "../models/sample.mdl"}, folder.Path() / "elsewhere");
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    const std::string expected = fs::weakly_canonical(folder.Path() / "models/sample.sml").string();
    EXPECT_EQ(result.Stdout, expected + "\n");
    EXPECT_FALSE(fs::exists(folder.Path() / "elsewhere/sample.sml"));
    const std::string text = ReadText(expected);
    const auto lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(text.size(), 101u * 33u);
    EXPECT_EQ(lines[0].substr(0, 15), " 0.000000E+0000");
    EXPECT_EQ(lines[37].substr(0, 15), " 3.700000E-0001");
    EXPECT_EQ(lines[100].substr(0, 15), " 1.000000E+0000");
    for (const auto& line : lines) EXPECT_EQ(line.size(), 31u);
}

TEST_F(CliSimulateTest, OptionsReachTheRun) {
    WriteText(folder / "sample.mdl", FilmModel(1.54));
    const auto result = RunCli({"simulate", "sample.mdl", "--qz", "--min=-0.2", "--max", "0.25",
                                "--intervals", "5", "--mode", "parratt", "--density-units", "0"},
                               folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    const auto lines = CrLfLines(ReadText(folder / "sample.sml"));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].substr(0, 15), " 0.000000E+0000");
    EXPECT_EQ(lines[2].substr(0, 15), " 1.000000E-0001");
    EXPECT_EQ(lines[5].substr(0, 15), " 2.500000E-0001");
}

TEST_F(CliSimulateTest, MissingModelFailsWithTheMessageOnItsOwnLine) {
    const auto result = RunCli({"simulate", "absent.mdl"}, folder.Path());
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Stderr.rfind("korvel-cli: File not found.\n", 0), 0u) << result.Stderr;
    EXPECT_NE(result.Stderr.find("absent.mdl"), std::string::npos);
    EXPECT_EQ(result.Stdout, "");
    EXPECT_FALSE(fs::exists(folder / "absent.sml"));
}

TEST_F(CliSimulateTest, BadModelsAndGridsFailWithExitCodeOneAndNoSml) {
    struct Case {
        std::string model;
        std::vector<std::string> options;
        std::string message;  // part of stderr
    };
    const std::vector<Case> cases = {
        {"1.54 0 0 0 0 0\n1 0 0 0\n200 2e-5 x1 4\n0 7.6e-6 1.7e-7 3\n",
         {},
         "Invalid numeric input"},
        {"1.54 0 0 0 0 0\n300 0 0 0\n", {}, "300"},
        {FilmModel(1.54), {"--qz", "--max", "9"}, "Qz = "},
        {FilmModel(), {"--intervals", "0"}, "intervals"},
        {FilmModel(), {"--intervals", "-1"}, "intervals"},
        {FilmModel(), {"--intervals", "65535"}, "intervals"},
        {"1.54 0 0 0 0 0\n1 0 0 0\n1e6 5e-6 -1e-3 0\n0 7.6e-6 1.7e-7 3\n",
         {"--min", "0.5"},
         "Reflectivity is not a finite number (Matrix method at theta = 0.5"},
    };
    for (const auto& c : cases) {
        WriteText(folder / "bad.mdl", c.model);
        std::vector<std::string> arguments = {"simulate", "bad.mdl"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const auto result = RunCli(arguments, folder.Path());
        EXPECT_EQ(result.ExitCode, 1) << c.model << result.Stderr;
        EXPECT_EQ(result.Stderr.rfind("korvel-cli: ", 0), 0u) << result.Stderr;
        EXPECT_NE(result.Stderr.find(c.message), std::string::npos) << result.Stderr;
        EXPECT_FALSE(fs::exists(folder / "bad.sml")) << c.model;
    }
    // The token's file is named.
    WriteText(folder / "bad.mdl", cases[0].model);
    EXPECT_NE(RunCli({"simulate", "bad.mdl"}, folder.Path()).Stderr.find("bad.mdl"),
              std::string::npos);
}

TEST_F(CliSimulateTest, MalformedCommandLinesAreUsageErrors) {
    WriteText(folder / "sample.mdl", FilmModel());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"simulate"},
        {"simulate", "sample.mdl", "--min"},
        {"simulate", "sample.mdl", "--min", "0,5"},
        {"simulate", "sample.mdl", "--max", "1.0x"},
        {"simulate", "sample.mdl", "--max", "nan"},
        {"simulate", "sample.mdl", "--max", "inf"},
        {"simulate", "sample.mdl", "--max", "1e999"},
        {"simulate", "sample.mdl", "--intervals", "10.5"},
        {"simulate", "sample.mdl", "--intervals", "99999999999999999999"},
        {"simulate", "sample.mdl", "--mode", "X"},
        {"simulate", "sample.mdl", "--density-units", "4"},
        {"simulate", "sample.mdl", "--qz=1"},
        {"simulate", "sample.mdl", "--frobnicate"},
        {"simulate", "sample.mdl", "other.mdl"},
        {"transmogrify", "sample.mdl"},
        {"fit", "demo.inp", "--seed", "-3"},
        {"fit", "demo.inp", "--weights", "fraction:0"},
        {"fit", "demo.inp", "--weights", "fraction:abc"},
        {"fit", "demo.inp", "--weights", "poisson"},
        {"fit", "demo.inp", "--max-respreads", "many"},
        {"fit"},
    };
    for (const auto& arguments : cases) {
        const auto result = RunCli(arguments, folder.Path());
        std::string shown;
        for (const auto& a : arguments) shown += a + " ";
        EXPECT_EQ(result.ExitCode, 2) << shown << result.Stderr;
        EXPECT_EQ(result.Stderr.rfind("korvel-cli: ", 0), 0u) << shown;
    }
    EXPECT_FALSE(fs::exists(folder / "sample.sml"));
}

}  // namespace
}  // namespace korvel
