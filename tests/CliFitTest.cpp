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
    EXPECT_EQ(CrLfLines(ReadText(folder / "ml.pct")).size(), 601u);
    EXPECT_NE(cli.Stdout().find("Thickness:1 = "), std::string::npos);
}

}  // namespace
}  // namespace korvel
