// korvel-cli fit with column data files: a commented Qz file with its resolution column
// fitted and written back as ORSO text, a .dat fit written as ORSO text and read back,
// and the new options refused where they cannot apply.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "input/ColumnFile.h"
#include "input/ModelReader.h"

namespace korvel {
namespace {

using testing::CrLfLines;
using testing::ReadText;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteText;

class CliColumnDataTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::CopyDemo(folder.Path()); }
    // A short fit of the demo's model to `data`.
    void WriteCommandFile(const std::string& name, const std::string& data) {
        WriteText(folder / name, data + "\nF\nN\nY\nau-film-start.mdl\nau-film.lmt\n1.0e-6\n20\n0\nM\n");
    }
    ColumnData ReadColumns(const std::string& name) {
        return ParseColumnFile(ReadText(folder / name), name, {});
    }
    // The fifth column (Rfit) of an ORSO file's rows.
    std::vector<double> FittedColumn(const std::string& name) {
        std::vector<double> values;
        std::istringstream lines(ReadText(folder / name));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream row(line);
            std::string cell;
            for (int c = 0; c < 5; ++c) row >> cell;
            values.push_back(std::stod(cell));
        }
        return values;
    }
    // The third column (the fitted curve) of the .pct file.
    std::vector<double> PctCurve() {
        std::vector<double> values;
        for (const std::string& line : CrLfLines(ReadText(folder / "au-film-start.pct")))
            if (line.size() > 32) values.push_back(std::stod(line.substr(32)));
        return values;
    }

    TempFolder folder;
};

TEST_F(CliColumnDataTest, AQzFileWithResolutionsIsFittedAndItsOrsoOutputReadsBack) {
    testing::WriteDemoAsQzColumns(folder.Path(), "demo-qz.txt", 0.01);
    WriteCommandFile("qz.inp", "demo-qz.txt");
    const auto result = RunCli({"fit", "qz.inp", "--seed", "4", "--max-respreads", "1", "--quiet",
                                "--ort", "fit.ort"},
                               folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    EXPECT_NE(result.Stderr.find("demo-qz.txt: 601 points; resolution: the data's (a Gaussian "
                                 "of each point's width in Qz)."),
              std::string::npos)
        << result.Stderr;
    EXPECT_NE(result.Stdout.find("ort: fit.ort\n"), std::string::npos) << result.Stdout;

    const ColumnData input = ReadColumns("demo-qz.txt");
    const ColumnData output = ReadColumns("fit.ort");
    EXPECT_TRUE(output.Described);
    ASSERT_EQ(output.Curve.Qz.size(), 601u);
    for (std::size_t i = 0; i < 601; ++i) {
        // Qz went through the angle and back; everything else is written as read.
        EXPECT_NEAR(output.Curve.Qz[i] / input.Curve.Qz[i], 1.0, 1e-14) << i;
        EXPECT_EQ(output.Curve.R[i], input.Curve.R[i]) << i;
        EXPECT_EQ(output.Curve.dR[i], input.Curve.dR[i]) << i;
        EXPECT_EQ(output.Curve.dQz[i], input.Curve.dQz[i]) << i;
    }
    ASSERT_TRUE(output.WavelengthMin);
    EXPECT_EQ(*output.WavelengthMin, 1.5406);
    // The fitted curve is the one of the .pct file (printed there with 7 digits).
    const std::vector<double> fitted = FittedColumn("fit.ort");
    const std::vector<double> pct = PctCurve();
    ASSERT_EQ(fitted.size(), 601u);
    ASSERT_EQ(pct.size(), 601u);
    for (std::size_t i = 0; i < 601; ++i) EXPECT_NEAR(fitted[i] / pct[i], 1.0, 1e-6) << i;
    const std::string text = ReadText(folder / "fit.ort");
    EXPECT_EQ(text.rfind("# # ORSO reflectivity data file | 1.0 standard", 0), 0u);
    EXPECT_NE(text.find("software: {name: \"korvel-cli\""), std::string::npos);
    EXPECT_NE(text.find("model_file: \""), std::string::npos);
    EXPECT_NE(text.find("au-film-start.mdl\""), std::string::npos);
    EXPECT_NE(text.find("# # Qz"), std::string::npos);

    // The model's laws instead: the same data, another fitted curve.
    const auto laws = RunCli({"fit", "qz.inp", "--seed", "4", "--max-respreads", "1", "--quiet",
                              "--resolution", "model", "--ort", "laws.ort"},
                             folder.Path());
    ASSERT_EQ(laws.ExitCode, 0) << laws.Stderr;
    EXPECT_NE(laws.Stderr.find("resolution: the model's resolution laws."), std::string::npos);
    EXPECT_NE(FittedColumn("laws.ort"), fitted);
}

TEST_F(CliColumnDataTest, ADatFitWrittenAsOrsoTextReadsBackWithUnknownResolutions) {
    WriteCommandFile("dat.inp", "demo.dat");
    const auto result = RunCli({"fit", "dat.inp", "--seed", "4", "--max-respreads", "1",
                                "--quiet", "--ort", "dat.ort"},
                               folder.Path());
    ASSERT_EQ(result.ExitCode, 0) << result.Stderr;
    EXPECT_EQ(result.Stderr, "");  // a .dat file reports nothing new
    const ColumnData output = ReadColumns("dat.ort");
    ASSERT_EQ(output.Curve.Qz.size(), 601u);
    EXPECT_NEAR(output.Curve.Qz[0], AngleToQz(0.1, 1.5406), 1e-16);
    EXPECT_EQ(output.Curve.R[0], 9.603168e-01);
    EXPECT_EQ(output.Curve.dR[0], 3.098898e-05);
    for (double dq : output.Curve.dQz) EXPECT_TRUE(std::isnan(dq));
    ReadWarnings warnings;
    const DataPoints points = ColumnDataPoints(output, true, warnings);
    EXPECT_FALSE(points.WithResolution);  // the model's laws would smear a refit

    // Weights the program chose (a fraction of R here) are no measured uncertainties.
    testing::WriteDemoAsQzColumns(folder.Path(), "demo-qz.txt", 0.01);
    WriteText(folder / "rule.inp",
              "demo-qz.txt\nF\nN\nN\nau-film-start.mdl\nau-film.lmt\n1.0e-6\n20\n0\nM\n");
    const auto rule = RunCli({"fit", "rule.inp", "--seed", "4", "--max-respreads", "1", "--quiet",
                              "--weights", "fraction:0.05", "--ort", "rule.ort"},
                             folder.Path());
    ASSERT_EQ(rule.ExitCode, 0) << rule.Stderr;
    const ColumnData ruled = ReadColumns("rule.ort");
    ASSERT_EQ(ruled.Curve.dR.size(), 601u);
    for (double dr : ruled.Curve.dR) EXPECT_TRUE(std::isnan(dr));
    EXPECT_EQ(ruled.Curve.dQz, ReadColumns("demo-qz.txt").Curve.dQz);
}

TEST_F(CliColumnDataTest, OptionsThatCannotApplyAreRefusedBeforeAnyResultIsWritten) {
    WriteCommandFile("dat.inp", "demo.dat");
    const auto data = RunCli({"fit", "dat.inp", "--resolution", "data", "--quiet"}, folder.Path());
    EXPECT_EQ(data.ExitCode, 1);
    EXPECT_NE(data.Stderr.find("The data file gives no resolution of its points"),
              std::string::npos)
        << data.Stderr;
    EXPECT_FALSE(testing::fs::exists(folder / "au-film-start.bst"));

    const auto overwrite = RunCli({"fit", "dat.inp", "--ort", "demo.dat", "--quiet"}, folder.Path());
    EXPECT_EQ(overwrite.ExitCode, 1);
    EXPECT_FALSE(testing::fs::exists(folder / "au-film-start.bst"));
    EXPECT_EQ(ReadText(folder / "demo.dat").substr(0, 6), "0.1000");

    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"fit", "dat.inp", "--resolution", "both"},
          std::vector<std::string>{"fit", "dat.inp", "--dataset", "0"},
          std::vector<std::string>{"fit", "dat.inp", "--dataset", "two"},
          std::vector<std::string>{"fit", "dat.inp", "--ort"}}) {
        const auto usage = RunCli(arguments, folder.Path());
        EXPECT_EQ(usage.ExitCode, 2) << arguments[2];
    }
}

}  // namespace
}  // namespace korvel
