#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "InputTestSupport.h"
#include "base/RunError.h"
#include "app/Workspace.h"
#include "app/FitInputs.h"
#include "input/DataReader.h"
#include "input/ModelReader.h"

using namespace korvel;
using korvel::testing::ScriptedWeightingInterface;
using korvel::testing::TempFolder;

namespace {

// A workspace whose command file lies in `dir`, naming data.dat, ml.mdl and ml.lmt there.
Workspace RunIn(const TempFolder& dir, bool errorsFromFile, const std::string& data) {
    dir.Write("ml.mdl", "1.54 0 0 0 0 0\n0 0 0 0\n0 7.6e-6 1.7e-7 3\n");
    dir.Write("ml.lmt", "0 0 0\n0 0 0\n0 0 0\n0 0 0\n");
    dir.Write("data.dat", data);
    Workspace ws;
    ws.Settings.CommandFileName = dir.Path("run.inp");
    ws.Settings.DataFileName = "data.dat";
    ws.Settings.ModelFileName = "ml.mdl";
    ws.Settings.LimitsFileName = "ml.lmt";
    ws.Settings.ErrorsFromFile = errorsFromFile;
    PeekModel(dir.Path("ml.mdl"), ws.Model);
    return ws;
}

std::string Lines(int count, const std::string& end = "\n") {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        if (i > 1) text += end;
        text += std::to_string(0.01 * i) + "\t" + std::to_string(1.0 / i);
    }
    return text;
}

std::string FailureOf(Workspace& ws, RunInterface& ui) {
    return korvel::testing::RunErrorOf([&] { ReadDataFile(ws, ui); });
}

}  // namespace

TEST(ReadDataFile, CountsCompletePointsWithOrWithoutAFinalLineEnd) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    for (const std::string& text :
         {Lines(50) + "\n", Lines(50), Lines(50, "\r\n") + "\r\n  \t\r\n"}) {
        Workspace ws = RunIn(dir, false, text);
        ReadDataFile(ws, ui);
        EXPECT_EQ(ws.Curves.PointCount, 50);
        EXPECT_EQ(ws.Curves.Angle.size(), 50u);
        EXPECT_EQ(ws.Curves.Angle[49], 0.5);
    }
}

TEST(ReadDataFile, KeepsALastPointOfIntensityZero) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    for (const std::string& text : {std::string("0.1 5\n0.2 0"), std::string("0.1 5\n0.2 0\n")}) {
        Workspace ws = RunIn(dir, false, text);
        ReadDataFile(ws, ui);
        ASSERT_EQ(ws.Curves.PointCount, 2);
        EXPECT_EQ(ws.Curves.MeasuredIntensity[1], 0.0);
    }
}

TEST(ReadDataFile, TakesUncertaintiesFromTheThirdColumn) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace ws = RunIn(dir, true, "0.1 1.0 0.1\n0.2 0.5 0.05\n0.3 0.25 0.02");
    ReadDataFile(ws, ui);
    EXPECT_EQ(ui.WeightingDialogsShown, 0);
    ASSERT_EQ(ws.Curves.PointCount, 3);
    EXPECT_EQ(ws.Curves.Uncertainty[2], 0.02);
    EXPECT_EQ(ws.Curves.MeasuredIntensity[1], 0.5);
    EXPECT_FALSE(ws.Weighting.FresnelWeights);
    EXPECT_FALSE(ws.Weighting.FractionWeights);
    EXPECT_DOUBLE_EQ(ws.Curves.CosSquared[0], std::pow(std::cos(0.1 * std::numbers::pi / 180), 2));
}

TEST(ReadDataFile, AppliesTheWeightingChosenInTheDialog) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    struct Case {
        int item;
        std::string text;
        double fraction;
    };
    for (const Case& c : {Case{1, "0.05", 0.05}, Case{1, "", 0.03}, Case{1, " abc", 0.03},
                          Case{1, "0", 0.03}, Case{1, "-0.1", 0.03}, Case{1, " 0.1 ", 0.1}}) {
        Workspace ws = RunIn(dir, false, "0.1 2.0\n0.2 4.0\n");
        ui.WeightingItem = c.item;
        ui.WeightingText = c.text;
        ReadDataFile(ws, ui);
        EXPECT_TRUE(ws.Weighting.FractionWeights);
        EXPECT_EQ(ws.Weighting.ErrorFraction, c.fraction) << c.text;
        EXPECT_DOUBLE_EQ(ws.Curves.Uncertainty[1], 4.0 * c.fraction);
    }
    Workspace ws = RunIn(dir, false, "0.1 2.0\n0.2 4.0\n");
    ui.WeightingItem = 0;
    ReadDataFile(ws, ui);
    EXPECT_TRUE(ws.Weighting.FresnelWeights);
    EXPECT_FALSE(ws.Weighting.FractionWeights);
    EXPECT_EQ(ws.Curves.Uncertainty[0], 1.0);
    EXPECT_EQ(ws.Curves.Uncertainty[1], 1.0);
}

TEST(ReadDataFile, ConvertsQzWithTheWavelengthOfTheModelNamedNow) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace ws = RunIn(dir, true, "0.1 1 0.1\n");
    ws.Settings.QzInverseAngstrom = true;
    ReadDataFile(ws, ui);
    EXPECT_NEAR(ws.Curves.Angle[0],
                std::asin(0.1 * 1.54 / (4 * std::numbers::pi)) * 180 / std::numbers::pi, 1e-14);
    EXPECT_NEAR(ws.Curves.Angle[0], 0.702, 5e-4);

    // The dialog changed the model: its wavelength converts the data.
    dir.Write("neutron.mdl", "5.0 0 0 0 0 0\n0 0 0 0\n0 2e-6 0 3\n");
    ws.Settings.ModelFileName = "neutron.mdl";
    ReadDataFile(ws, ui);
    EXPECT_EQ(ws.Model.Header.Wavelength, 5.0);
    EXPECT_NEAR(ws.Curves.Angle[0],
                std::asin(0.1 * 5.0 / (4 * std::numbers::pi)) * 180 / std::numbers::pi, 1e-14);
}

TEST(ReadDataFile, RefusesAQzWithoutAGlancingAngle) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace ws = RunIn(dir, true, "0.1 1 0.1\n9.0 1 0.1\n");
    ws.Settings.QzInverseAngstrom = true;
    const std::string failure = FailureOf(ws, ui);
    EXPECT_EQ(failure.rfind("Qz out of range. | " + dir.Path("data.dat") + ", line 2: '9.0'", 0),
              0u)
        << failure;
}

TEST(ReadDataFile, RefusesFilesWithoutCompletePoints) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace empty = RunIn(dir, false, " \r\n\t\n");
    EXPECT_EQ(FailureOf(empty, ui), "Data file holds no data points. | " + dir.Path("data.dat"));
    Workspace half = RunIn(dir, false, "0.1 1\n0.2 \n");
    EXPECT_EQ(FailureOf(half, ui), "Data file ends inside a point: 1 of 2 numbers read. | " +
                                       dir.Path("data.dat") + ", line 2");
    // Two columns read as three: ten numbers are not whole points of three.
    Workspace wrong = RunIn(dir, true, Lines(5));
    EXPECT_NE(FailureOf(wrong, ui).find("1 of 3 numbers read"), std::string::npos);
}

TEST(ReadDataFile, RefusesMoreThan65535Points) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    std::string text;
    text.reserve(65536 * 8);
    for (int i = 0; i < 65535; ++i) text += "1 1e-3\n";
    Workspace most = RunIn(dir, true, text);
    most.Settings.ErrorsFromFile = false;
    ReadDataFile(most, ui);
    EXPECT_EQ(most.Curves.PointCount, 65535);
    text += "1 1e-3\n";
    Workspace over = RunIn(dir, false, text);
    EXPECT_EQ(FailureOf(over, ui),
              "Too many data points: at most 65535 are allowed. | " + dir.Path("data.dat"));
}

TEST(ReadDataFile, RefusesDecreasingAnglesButAcceptsRepeatedOnes) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace same = RunIn(dir, false, "0.1 1\n0.2 1\n0.2 2\n0.3 1\n");
    ReadDataFile(same, ui);
    EXPECT_EQ(same.Curves.PointCount, 4);
    Workspace down = RunIn(dir, false, "0.1 1\n0.3 1\n0.2 2\n");
    EXPECT_EQ(FailureOf(down, ui), "Data points must be in increasing order of angle. | " +
                                       dir.Path("data.dat") + ", line 3: '0.2'");
}

TEST(ReadDataFile, RefusesGlancingAnglesOfNinetyDegreesOrMore) {
    // At 90 degrees cos^2 is 0 and the optics divide by it; beyond, angles fold back.
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace below = RunIn(dir, false, "0.1 1\n89.999 1e-9\n");
    ReadDataFile(below, ui);
    EXPECT_EQ(below.Curves.PointCount, 2);
    for (const char* angle : {"90", "90.0", "120"}) {
        Workspace at = RunIn(dir, false, std::string("0.1 1\n") + angle + " 1e-9\n");
        EXPECT_EQ(FailureOf(at, ui), "Glancing angle of 90 degrees or more. | " +
                                         dir.Path("data.dat") + ", line 2: '" + angle + "'");
    }
}

TEST(ReadDataFile, RefusesDataWhoseEveryIntensityIsZero) {
    // Nothing to scale onto, and W_Norma of the report would be infinite.
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace zero = RunIn(dir, true, "0.1 0 1e-3\n0.2 0 1e-3\n0.3 -0 1e-3\n");
    EXPECT_EQ(FailureOf(zero, ui),
              "Every measured intensity of the data file is 0: there is nothing to fit. | " +
                  dir.Path("data.dat"));
    Workspace one = RunIn(dir, true, "0.1 0 1e-3\n0.2 1e-9 1e-3\n");
    ReadDataFile(one, ui);
    EXPECT_EQ(one.Curves.PointCount, 2);
}

TEST(ReadDataFile, ReportsInvalidNumbersAndMissingFiles) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace bad = RunIn(dir, false, "0.1 1\n0.2 1,5\n");
    EXPECT_EQ(FailureOf(bad, ui),
              "Invalid numeric input | " + dir.Path("data.dat") + ", line 2: '1,5'");
    Workspace noData = RunIn(dir, false, "0.1 1\n");
    noData.Settings.DataFileName = "other.dat";
    EXPECT_EQ(FailureOf(noData, ui), "File not found. | " + dir.Path("other.dat"));
    Workspace noLimits = RunIn(dir, false, "0.1 1\n");
    noLimits.Settings.LimitsFileName = "other.lmt";
    EXPECT_EQ(FailureOf(noLimits, ui), "File not found. | " + dir.Path("other.lmt"));
}

TEST(ReadDataFile, FormsResultNamesBesideTheModelAndKeepsEarlierResults) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace ws = RunIn(dir, false, "0.1 1\n");
    dir.Write("elsewhere/far.dat", "0.1 1\n0.2 2\n");
    ws.Settings.DataFileName = dir.Path("elsewhere/far.dat");
    dir.Write("ml.bst", "earlier fit");
    ws.Fit.FitLogEnabled = true;
    ReadDataFile(ws, ui);
    EXPECT_EQ(ws.Curves.PointCount, 2);
    EXPECT_EQ(ws.Files.FittedCurveFile, dir.Path("ml.pct"));
    EXPECT_EQ(ws.Files.ResultModelFile, dir.Path("ml.bst"));
    EXPECT_EQ(ws.Files.LocalRunFile, dir.Path("ml.loc"));
    EXPECT_EQ(dir.Read("ml.bst"), "earlier fit");
    EXPECT_FALSE(ws.Fit.FitLogEnabled);
}

TEST(ReadDataFile, ReportsAResultFileThatCannotBeCreated) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace ws = RunIn(dir, false, "0.1 1\n");
    std::filesystem::create_directory(dir.Path("ml.pct"));  // a folder where the file goes
    EXPECT_EQ(FailureOf(ws, ui), "File access denied. | " + dir.Path("ml.pct"));
}

TEST(ReadDataFile, RefusesARunWhoseResultsWouldReplaceItsOwnInputs) {
    TempFolder dir;
    ScriptedWeightingInterface ui;
    Workspace ws = RunIn(dir, false, Lines(5));
    // An earlier fit's result model used as the new starting model: ml.bst would be
    // replaced by this run's own .bst.
    dir.Write("ml.bst", "1.54 0 0 0 0 0\n0 0 0 0\n0 7.6e-6 1.7e-7 3\n");
    ws.Settings.ModelFileName = "ml.bst";
    EXPECT_NE(FailureOf(ws, ui).find("An input file would be overwritten by a result file."),
              std::string::npos);
    // A data file named like the .pct of the model is refused too.
    dir.Write("ml.pct", Lines(5));
    Workspace data = RunIn(dir, false, Lines(5));
    data.Settings.DataFileName = "ml.pct";
    EXPECT_NE(FailureOf(data, ui).find("ml.pct"), std::string::npos);
}

TEST(FillMeasuredCurves, TakesTheFilesUncertaintiesOverAnyWeighting) {
    const DataPoints three = ParseDataPoints("0.1 2 0.5\n0.2 4 0.25\n", "d.dat", true);
    const DataPoints two = ParseDataPoints("0.1 2\n0.2 4\n", "d.dat", false);
    WeightingState fraction;
    fraction.FractionWeights = true;
    fraction.ErrorFraction = 0.1;
    WeightingState fresnel;
    fresnel.FresnelWeights = true;
    struct Case {
        const DataPoints& data;
        const WeightingState& weighting;
        double first, second;
    };
    for (const Case& c : {Case{three, fraction, 0.5, 0.25}, Case{three, fresnel, 0.5, 0.25},
                          Case{two, fraction, 0.2, 0.4}, Case{two, fresnel, 1.0, 1.0}}) {
        CurveArrays curves;
        FillMeasuredCurves(c.data, false, 1.54, c.weighting, curves);
        ASSERT_EQ(curves.PointCount, 2);
        EXPECT_DOUBLE_EQ(curves.Uncertainty[0], c.first);
        EXPECT_DOUBLE_EQ(curves.Uncertainty[1], c.second);
    }
}

TEST(FillMeasuredCurves, LeavesTheCurvesAsTheyWereWhenAPointIsRefused) {
    // Qz is converted with the wavelength handed in: 0.5 1/A has a glancing angle at
    // 1.54 A but none at 30 A, and the data's last point decides only at the end.
    const DataPoints data = ParseDataPoints("0.1 1\n0.5 1\n", "q.dat", false);
    WeightingState fresnel;
    fresnel.FresnelWeights = true;
    CurveArrays curves;
    FillMeasuredCurves(data, true, 1.54, fresnel, curves);
    ASSERT_EQ(curves.PointCount, 2);
    EXPECT_NEAR(curves.Angle[1],
                std::asin(0.5 * 1.54 / (4 * std::numbers::pi)) * 180 / std::numbers::pi, 1e-12);
    const CurveArrays before = curves;
    const std::string failure = korvel::testing::RunErrorOf(
        [&] { FillMeasuredCurves(data, true, 30.0, fresnel, curves); });
    EXPECT_EQ(failure.rfind("Qz out of range. | q.dat, line 2: '0.5'", 0), 0u) << failure;
    EXPECT_EQ(curves.Angle, before.Angle);
    EXPECT_EQ(curves.PointCount, 2);
}
