// The simulation run driven in-process: grid rules, the .sml layout, the order of
// what the run asks of the window, and the refusals that keep a bad run from
// leaving an .sml behind.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "ScriptedRunInterface.h"
#include "base/RunError.h"
#include "app/RunInterface.h"
#include "app/SimulationRun.h"
#include "app/Workspace.h"
#include "model/CurveArrays.h"

namespace korvel {
namespace {

using testing::CrLfLines;
using testing::FilmModel;
using testing::ReadText;
using testing::ScriptedRunInterface;
using testing::TempFolder;
using testing::WriteText;

class SimulationRunTest : public ::testing::Test {
  protected:
    std::string Model(const std::string& text, const std::string& name = "sample.mdl") {
        const std::string path = folder / name;
        WriteText(path, text);
        return path;
    }
    SimulationRequest Request(const std::string& model) {
        SimulationRequest request;
        request.ModelFileName = model;
        return request;
    }
    std::vector<std::string> SmlLines(const std::string& smlPath) {
        return CrLfLines(ReadText(smlPath));
    }
    static double Field(const std::string& line, int index) {
        return std::stod(line.substr(index == 0 ? 0 : 16, 15));
    }

    TempFolder folder;
    Workspace ws;
    ScriptedRunInterface ui;
};

TEST_F(SimulationRunTest, DefaultGridGives101PointsFromZeroToOneDegree) {
    const std::string sml = RunSimulation(ws, ui, Request(Model(FilmModel())));
    EXPECT_EQ(sml, folder / "sample.sml");
    const auto lines = SmlLines(sml);
    ASSERT_EQ(lines.size(), 101u);
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_NEAR(Field(lines[i], 0), 0.01 * static_cast<double>(i), 1e-12) << i;
    EXPECT_EQ(lines.front().substr(0, 15), " 0.000000E+0000");
    EXPECT_EQ(lines.back().substr(0, 15), " 1.000000E+0000");
}

TEST_F(SimulationRunTest, EveryLineIsTwoFifteenCharacterFieldsEndingInCrLf) {
    const std::string text = ReadText(RunSimulation(ws, ui, Request(Model(FilmModel()))));
    ASSERT_EQ(text.size(), 101u * 33u);
    for (std::size_t start = 0; start < text.size(); start += 33) {
        const std::string line = text.substr(start, 33);
        EXPECT_EQ(line.substr(31), "\r\n");
        EXPECT_EQ(line[15], ' ');
        EXPECT_EQ(line[0], ' ');   // angles are never negative
        EXPECT_EQ(line[16], ' ');  // nor reflectivities
        EXPECT_EQ(line[9], 'E');
        EXPECT_EQ(line[25], 'E');
        EXPECT_GT(Field(line, 1), 0.0);
        EXPECT_LE(Field(line, 1), 1.0);
    }
}

// A negative lower limit starts the grid at zero; an upper limit below the lower runs
// half a degree from the lower; interval counts below -1 give the two-point grid.
TEST_F(SimulationRunTest, GridRulesMendOddLimitsAndCounts) {
    struct Case {
        const char* Name;
        double Lower, Upper;
        long long Intervals;
        std::size_t Points;
        double First, Second, Last;
    };
    const SimulationRequest usual;
    const std::vector<Case> cases{
        {"negative lower", -0.2, 0.3, usual.Intervals, 101, 0.0, 0.003, 0.3},
        {"upper below lower", 2.0, 1.0, usual.Intervals, 101, 2.0, 2.005, 2.5},
        {"intervals -7", usual.Lower, usual.Upper, -7, 2, 0.0, 1.0, 1.0},
    };
    const std::string model = Model(FilmModel());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto request = Request(model);
        request.Lower = c.Lower;
        request.Upper = c.Upper;
        request.Intervals = c.Intervals;
        const auto lines = SmlLines(RunSimulation(ws, ui, request));
        ASSERT_EQ(lines.size(), c.Points);
        // Seven significant digits read back: the nearest doubles of the decimal values.
        EXPECT_EQ(Field(lines.front(), 0), c.First);
        EXPECT_EQ(Field(lines[1], 0), c.Second);
        EXPECT_EQ(Field(lines.back(), 0), c.Last);
    }
}

TEST_F(SimulationRunTest, QzFormatTakesTheLimitsAsQzAndWritesQzInTheFirstColumn) {
    auto request = Request(Model(FilmModel(1.54)));
    request.QzInverseAngstrom = true;
    request.Lower = 0.0;
    request.Upper = 0.2;
    request.Intervals = 20;
    const auto lines = SmlLines(RunSimulation(ws, ui, request));
    ASSERT_EQ(lines.size(), 21u);
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_NEAR(Field(lines[i], 0), 0.01 * static_cast<double>(i), 1e-8) << i;
    // Inside, the abscissa is the glancing angle.
    const double s = 0.2 * 1.54 / (4.0 * std::numbers::pi);
    EXPECT_NEAR(ui.Drawn.Angle.back(), std::asin(s) * 180.0 / std::numbers::pi, 1e-12);
}

TEST_F(SimulationRunTest, QzWithoutAGlancingAngleIsRefusedNamingTheValue) {
    auto request = Request(Model(FilmModel(1.54)));
    request.QzInverseAngstrom = true;
    request.Upper = 4.0 * std::numbers::pi / 1.54 * 1.000001;  // s just above 1
    try {
        RunSimulation(ws, ui, request);
        FAIL() << "no error";
    } catch (const RunError& error) {
        EXPECT_NE(error.Where().find("Qz = "), std::string::npos) << error.Where();
    }
    EXPECT_FALSE(testing::fs::exists(folder / "sample.sml"));
}

TEST_F(SimulationRunTest, GridAnglesOfNinetyDegreesOrMoreAreRefused) {
    const std::string model = Model(FilmModel());
    auto request = Request(model);
    request.Upper = 89.9;
    EXPECT_EQ(SmlLines(RunSimulation(ws, ui, request)).size(), 101u);
    testing::fs::remove(folder / "sample.sml");
    request.Upper = 90.0;
    EXPECT_EQ(
        testing::RunErrorOf([&] { RunSimulation(ws, ui, request); }),
        "Glancing angle of 90 degrees or more. | grid value 9.000000E+0001 deg (" + model + ")");
    request.Lower = 100.0;  // the whole grid beyond
    EXPECT_THROW(RunSimulation(ws, ui, request), RunError);
    EXPECT_FALSE(testing::fs::exists(folder / "sample.sml"));
}

TEST_F(SimulationRunTest, AModelEndingEarlyIsComputedAsTheFormatSaysAfterAWarning) {
    // The substrate's roughness is missing: it reads as 0.
    const std::string model = Model("1.54 0 0 0 0 0\n1 0 0 0\n200 2e-5 1e-6 4\n0 7.6e-6 1.7e-7");
    const std::string complete =
        Model("1.54 0 0 0 0 0\n1 0 0 0\n200 2e-5 1e-6 4\n0 7.6e-6 1.7e-7 0\n", "complete.mdl");
    const std::string sml = ReadText(RunSimulation(ws, ui, Request(model)));
    EXPECT_EQ(ui.Warnings,
              std::vector<std::string>{model + ": the model file ends before [Roughness:2] "
                                               "(layer 2, column 4); the missing numbers "
                                               "read as 0."});
    EXPECT_EQ(ui.Calls.front(), "ShowWarning: " + ui.Warnings[0]);  // before the curve
    ScriptedRunInterface quiet;
    EXPECT_EQ(sml, ReadText(RunSimulation(ws, quiet, Request(complete))));
    EXPECT_TRUE(quiet.Warnings.empty());
}

TEST_F(SimulationRunTest, IntervalCountsWithoutAGridAreRefused) {
    const std::string model = Model(FilmModel());
    for (const long long intervals : {0LL, -1LL, 65535LL, 70000LL, 1LL << 40}) {
        auto request = Request(model);
        request.Intervals = intervals;
        EXPECT_THROW(RunSimulation(ws, ui, request), RunError) << intervals;
    }
    EXPECT_FALSE(testing::fs::exists(folder / "sample.sml"));
}

TEST_F(SimulationRunTest, TheLargestGridThatTheCountHoldsIsComputed) {
    auto request = Request(Model("1.54 0 0 0 0 0\n0 0 0 0\n0 7.6e-6 1.7e-7 0\n"));
    request.Intervals = 65534;
    const auto lines = SmlLines(RunSimulation(ws, ui, request));
    EXPECT_EQ(lines.size(), 65535u);
    EXPECT_EQ(ui.Drawn.PointCount, 65535);
}

TEST_F(SimulationRunTest, NonFiniteLimitsAreRefused) {
    auto request = Request(Model(FilmModel()));
    request.Upper = std::nan("");
    EXPECT_THROW(RunSimulation(ws, ui, request), RunError);
    request.Upper = 1.0;
    request.Lower = -HUGE_VAL;
    EXPECT_THROW(RunSimulation(ws, ui, request), RunError);
}

TEST_F(SimulationRunTest, MissingModelFailsWithFileNotFoundAndLeavesNoFile) {
    const std::string failure =
        testing::RunErrorOf([&] { RunSimulation(ws, ui, Request(folder / "absent.mdl")); });
    EXPECT_EQ(failure.rfind("File not found. | ", 0), 0u) << failure;
    EXPECT_NE(failure.find("absent.mdl"), std::string::npos) << failure;
    EXPECT_FALSE(testing::fs::exists(folder / "absent.sml"));
    EXPECT_TRUE(ui.Calls.empty());
}

TEST_F(SimulationRunTest, TextInTheModelIsInvalidNumericInputNamingTheFile) {
    const std::string model = Model("1.54 0 0 0 0 0\n1 0 0 0\n200 abc 1e-6 4\n0 7.6e-6 1.7e-7 3\n");
    const std::string failure = testing::RunErrorOf([&] { RunSimulation(ws, ui, Request(model)); });
    EXPECT_EQ(failure.rfind("Invalid numeric input | ", 0), 0u) << failure;
    EXPECT_NE(failure.find("sample.mdl"), std::string::npos) << failure;
    EXPECT_FALSE(testing::fs::exists(folder / "sample.sml"));
}

TEST_F(SimulationRunTest, AModelNamedLikeItsOutputIsNeverOverwritten) {
    const std::string model = Model(FilmModel(), "result.sml");
    EXPECT_THROW(RunSimulation(ws, ui, Request(model)), RunError);
    EXPECT_EQ(ReadText(model), FilmModel());
}

TEST_F(SimulationRunTest, LayerCountAboveTwoHundredFiftyFiveIsRefused) {
    EXPECT_THROW(RunSimulation(ws, ui, Request(Model("1.54 0 0 0 0 0\n257 0 0 0\n"))), RunError);
    EXPECT_FALSE(testing::fs::exists(folder / "sample.sml"));
}

TEST_F(SimulationRunTest, NonFiniteReflectivityFailsAndKeepsTheEarlierSml) {
    // A thick gain medium (negative beta): the wave grows beyond the range of doubles.
    const std::string model =
        Model("1.54 0 0 0 0 0\n1 0 0 0\n1e6 5e-6 -1e-3 0\n0 7.6e-6 1.7e-7 3\n");
    WriteText(folder / "sample.sml", "earlier result\r\n");
    EXPECT_THROW(RunSimulation(ws, ui, Request(model)), RunError);
    EXPECT_EQ(ReadText(folder / "sample.sml"), "earlier result\r\n");
    EXPECT_EQ(ui.Calls.back(), "SetDrawEnabled: off");
    EXPECT_FALSE(ws.Fit.SkipFigureOfMerit);
}

TEST_F(SimulationRunTest, TheWindowSeesDrawEnabledPlotWindowCurvesThenDrawDisabled) {
    ui.RecordDraws = true;
    RunSimulation(ws, ui, Request(Model(FilmModel())));
    const std::vector<std::string> expected = {"SetDrawEnabled: on", "ShowPlotWindow", "DrawPlot",
                                               "SetDrawEnabled: off"};
    EXPECT_EQ(ui.Calls, expected);
    ASSERT_EQ(ui.Drawn.PointCount, 101);
    EXPECT_EQ(ui.Drawn.MeasuredIntensity, ui.Drawn.CalculatedCurve);
    for (int i = 0; i < 101; ++i) {
        EXPECT_EQ(ui.Drawn.Uncertainty[i], 0.01);
        EXPECT_NEAR(ui.Drawn.CosSquared[i],
                    std::pow(std::cos(ui.Drawn.Angle[i] * std::numbers::pi / 180.0), 2), 1e-15);
    }
}

TEST_F(SimulationRunTest, RunSettingsComeFromTheRequestAndTheModelIsLeftWithoutFreeParameters) {
    ws.Settings.CutOffLevel = 1e-3;
    ws.Settings.RepeatUnitFixed = true;
    ws.Fit.EvaluationCount = 77;
    auto request = Request(Model(FilmModel()));
    request.CalculationMode = 'P';
    request.DensityUnits = 0;
    RunSimulation(ws, ui, request);
    EXPECT_EQ(ws.Settings.CalculationMode, 'P');
    EXPECT_FALSE(ws.Settings.QzInverseAngstrom);
    EXPECT_EQ(ws.Settings.CutOffLevel, 0.0);
    EXPECT_FALSE(ws.Settings.RepeatUnitFixed);
    EXPECT_EQ(ws.Fit.EvaluationCount, 1);
    EXPECT_FALSE(ws.Fit.SkipFigureOfMerit);
    EXPECT_TRUE(ws.Free.VertexHoldsValues);
    EXPECT_EQ(ws.Free.FreeCount, 0);
    EXPECT_EQ(ws.Free.VertexCount, 1);
    ASSERT_EQ(ws.Free.StepPercent.size(), 8u);
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(ws.Free.StepPercent[j], 0.0);
        EXPECT_FALSE(ws.Free.FreeFlags[j]);
    }
}

TEST_F(SimulationRunTest, ScatteringLengthDensityModelEqualsItsDeltaBetaTwin) {
    const double lambda = 4.75;
    const double toDelta = lambda * lambda / (2.0 * std::numbers::pi);
    char sld[256];
    char delta[256];
    std::snprintf(sld, sizeof sld,
                  "%g 0 0.005 0.05 0 0\n1 0 0 0\n500 9.41e-6 1e-9 5\n0 2.07e-6 0 3\n", lambda);
    std::snprintf(delta, sizeof delta,
                  "%g 0 0.005 0.05 0 0\n1 0 0 0\n500 %.17g %.17g 5\n0 %.17g 0 3\n", lambda,
                  9.41e-6 * toDelta, 1e-9 * toDelta, 2.07e-6 * toDelta);
    auto sldRequest = Request(Model(sld, "sld.mdl"));
    sldRequest.DensityUnits = 1;
    sldRequest.Upper = 3.0;
    auto deltaRequest = Request(Model(delta, "delta.mdl"));
    deltaRequest.Upper = 3.0;
    const auto sldLines = SmlLines(RunSimulation(ws, ui, sldRequest));
    const auto deltaLines = SmlLines(RunSimulation(ws, ui, deltaRequest));
    ASSERT_EQ(sldLines.size(), deltaLines.size());
    for (std::size_t i = 0; i < sldLines.size(); ++i)
        EXPECT_NEAR(Field(sldLines[i], 1), Field(deltaLines[i], 1), 1e-6 * Field(deltaLines[i], 1))
            << i;
}

TEST_F(SimulationRunTest, EachCalculationModeReachesTheEngine) {
    // Above four critical angles the Fourier approximation differs from the exact methods.
    const std::string model = Model(FilmModel());
    std::vector<std::vector<std::string>> curves;
    for (const char mode : {'P', 'M', 'F'}) {
        auto request = Request(model);
        request.CalculationMode = mode;
        request.Lower = 1.0;
        request.Upper = 3.0;
        curves.push_back(SmlLines(RunSimulation(ws, ui, request)));
    }
    for (std::size_t i = 0; i < curves[0].size(); ++i)
        EXPECT_NEAR(Field(curves[0][i], 1), Field(curves[1][i], 1), 1e-6 * Field(curves[1][i], 1));
    EXPECT_NE(curves[2], curves[1]);
}

}  // namespace
}  // namespace korvel
