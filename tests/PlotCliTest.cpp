// korvel-cli's --plot option: the plot of a run as an SVG file.

#include <gtest/gtest.h>

#include "CliTestSupport.h"

namespace korvel {
namespace {

using testing::FilmModel;
using testing::ReadText;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteText;

TEST(PlotCli, SimulateDrawsTheCurveIntoAnSvgFile) {
    TempFolder folder;
    WriteText(folder / "film.mdl", FilmModel());
    const auto result = RunCli({"simulate", "film.mdl", "--max", "3", "--plot", "film.svg"},
                               folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    EXPECT_NE(result.Stdout.find("film.svg"), std::string::npos);
    const std::string svg = ReadText(folder / "film.svg");
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("width=\"537\" height=\"376\""), std::string::npos);
    EXPECT_NE(svg.find(">Calculation</text>"), std::string::npos);
    EXPECT_NE(svg.find("stroke=\"#ff0000\""), std::string::npos);  // the computed curve
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST(PlotCli, FitDrawsDataAndBestCurveIntoAnSvgFile) {
    TempFolder folder;
    testing::CopyDemo(folder.Path());
    const auto result = RunCli(
        {"fit", "demo.inp", "--seed", "5", "--max-respreads", "1", "--quiet", "--plot", "fit.svg"},
        folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    const std::string svg = ReadText(folder / "fit.svg");
    EXPECT_NE(svg.find("stroke=\"#0000ff\""), std::string::npos);  // the measured curve
    EXPECT_NE(svg.find("stroke=\"#ff0000\""), std::string::npos);  // the best fit
    EXPECT_NE(svg.find(">Experiment</text>"), std::string::npos);
}

TEST(PlotCli, AnSvgFileThatCannotBeWrittenFailsTheRun) {
    TempFolder folder;
    WriteText(folder / "film.mdl", FilmModel());
    const auto result =
        RunCli({"simulate", "film.mdl", "--plot", "no/such/folder/film.svg"}, folder.Path());
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Stderr.find("korvel-cli: "), std::string::npos);
}

}  // namespace
}  // namespace korvel
