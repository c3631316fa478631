// The .bst, .pct and .loc texts against hand-written expected text.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "FitTestSupport.h"
#include "app/FitFiles.h"
#include "app/Workspace.h"
#include "base/Clock.h"
#include "base/ResultSetWriter.h"
#include "fit/FitRun.h"
#include "output/ResultFiles.h"

namespace korvel {
namespace {

// A model of the given counts with every layer's four values given, all cells
// unlinked; no free parameters yet.
Workspace ModelWorkspace(LayerCounts counts, const std::vector<std::array<double, 4>>& layers) {
    Workspace ws;
    ws.Model.Header = {1.5405, 0.0, 0.01, 0.02, 0.0001, 0.00004};
    ws.Model.Counts = counts;
    ws.Model.LayerCount = static_cast<std::uint16_t>(layers.size());
    ws.Model.ParameterCount = static_cast<std::uint16_t>(4 * layers.size());
    ws.Model.Allocate();
    for (std::size_t l = 0; l < layers.size(); ++l)
        for (int c = 0; c < 4; ++c) ws.Model.ParameterCells[4 * l + c] = layers[l][c];
    ws.Free.FreeFlags.assign(ws.Model.ParameterCount, false);
    ws.Free.StepPercent.assign(ws.Model.ParameterCount, 0.0);
    ws.Free.FreeCount = 0;
    ws.Free.AllocateSimplex();
    ws.Free.VertexHoldsValues = true;
    ws.Fit.BestVertex = 1;
    ws.Fit.ZeroCurveMerit = 10.0;
    ws.Settings.DataFileName = "data.dat";
    ws.Settings.ModelFileName = "model.mdl";
    ws.Settings.LimitsFileName = "model.lmt";
    ws.Settings.ErrorsFromFile = false;
    ws.Weighting.FractionWeights = true;
    return ws;
}

// Makes parameter j free with best value `value`.
void MakeFree(Workspace& ws, std::vector<std::pair<int, double>> free) {
    for (auto [j, value] : free) ws.Free.FreeFlags[j - 1] = true;
    ws.Free.FreeCount = static_cast<std::uint16_t>(free.size());
    ws.Free.AllocateSimplex();
    ws.Free.VertexHoldsValues = true;
    for (std::size_t k = 0; k < free.size(); ++k) ws.Free.Vertices[1][k] = free[k].second;
    ws.Fit.BestVertex = 2;
}

// Lines of a CR LF text.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(ResultModelFile, WritesTheFittedModelAndTheReport) {
    Workspace ws = ModelWorkspace({1, 2, 0, 3}, {{125.3, 7.6e-6, 1.7e-7, 4.5},
                                                 {20.0, 1.0e-5, 1.0e-6, 3.5},
                                                 {30.0, 2.0e-5, 2.0e-6, 9.0},
                                                 {0.0, 7.5e-6, 2.0e-7, 2.0}});
    // Free: thickness of layers 1 and 2 and beta of layer 2; layer 3's roughness
    // follows layer 2's.
    MakeFree(ws, {{1, 125.3}, {5, 21.0}, {7, 1.1e-6}});
    ws.Free.VertexMerit = {9.0, 2.5, 9.0, 9.0};
    ws.Model.Link(12, 8);
    ws.Free.StepPercent[11] = 2;
    ws.Fit.EvaluationCount = 123;
    ws.Fit.ScaleUnsmeared = 1.0;
    ws.Fit.ScaleSmeared = 0.5;
    AdoptBestVertex(ws);  // what the run does before the result is written

    const std::string expected =
        "  1.5405  0.0000  0.0100  0.0200  0.0001  0.0000\r\n"
        "1 2 0 3\r\n"
        " 1.253000E+0002   7.600000E-0006   1.700000E-0007   4.500000E+0000  \r\n"
        " 2.100000E+0001   1.000000E-0005   1.100000E-0006   3.500000E+0000  \r\n"
        " 3.000000E+0001   2.000000E-0005   2.000000E-0006   3.500000E+0000  \r\n"
        " 0.000000E+0000   7.500000E-0006   2.000000E-0007   2.000000E+0000  \r\n"
        "\r\n"
        "Norma   =  2.50000000000000E+0000\r\n"
        "W_Norma =  2.50000000000000E-0001\r\n"
        "#Calls  = 123\r\n"
        "Repeat Unit Length =    51.0000\r\n"
        "Total thickness    =   278.3000\r\n"
        "Calculation by  : Matrix\r\n"
        "Residue weight  : Iexp* 0.030\r\n"
        "CutOff Level     :  0.0E+0000\r\n"
        "Data file name   : data.dat\r\n"
        "Model file name  : model.mdl\r\n"
        "Limits file name : model.lmt\r\n"
        "Scaling Factor for none smeared curve :  1.000000E+0000\r\n"
        "Scaling Factor for smeared curve      :  5.000000E-0001\r\n"
        "\r\n"
        " Variables :\r\n"
        "[Thickness: 1], [Thickness: 2], [ImDensity: 2], \r\n"
        "\r\n"
        "[Roughness:3] <== [Roughness:2]\r\n";
    EXPECT_EQ(ResultModelText(ws), expected);
    EXPECT_EQ(ws.Fit.BestMerit, 2.5);
    // The best vertex now sits in the model.
    EXPECT_EQ(ws.Model.Value(5), 21.0);
}

TEST(ResultModelFile, WithoutARepeatUnitSumsTopAndBottomLayers) {
    Workspace ws = ModelWorkspace(
        {1, 0, 1, 0}, {{10.0, 1e-6, 0.0, 1.0}, {15.5, 1e-6, 0.0, 1.0}, {99.0, 1e-6, 0.0, 1.0}});
    const auto lines = Lines(ResultModelText(ws));
    EXPECT_EQ(lines[9], "Repeat Unit Length =     0.0000");
    EXPECT_EQ(lines[10], "Total thickness    =    25.5000");
}

TEST(ResultModelFile, WithOnlyASubstrateAndNoFreeParameters) {
    Workspace ws = ModelWorkspace({0, 0, 0, 0}, {{5.0, 7.5e-6, 2e-7, 3.0}});
    ws.Settings.RepeatUnitFixed = true;
    ws.Fit.EvaluationCount = 1;
    const auto lines = Lines(ResultModelText(ws));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[1], "0 0 0 0");
    EXPECT_EQ(lines[2], " 5.000000E+0000   7.500000E-0006   2.000000E-0007   3.000000E+0000  ");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[7], "Repeat Unit Length =     0.0000  /fixed/");
    EXPECT_EQ(lines[8], "Total thickness    =     0.0000");
    EXPECT_EQ(lines[17], "");
    EXPECT_EQ(lines[18], " Variables :");
    EXPECT_EQ(lines[19], "");  // the empty variable list
    EXPECT_EQ(lines[20], "");
}

TEST(ResultModelFile, PadsOneDigitLayersInTheVariableListButNotInLinkLines) {
    std::vector<std::array<double, 4>> layers(13, {10.0, 1e-6, 1e-8, 2.0});
    Workspace ws = ModelWorkspace({12, 0, 0, 0}, layers);
    MakeFree(ws, {{ParameterIndex(3, Column::Thickness), 10.0},
                  {ParameterIndex(12, Column::Thickness), 10.0}});
    ws.Free.StepPercent[ParameterIndex(3, Column::Roughness) - 1] = 5;
    ws.Free.StepPercent[ParameterIndex(11, Column::ReDensity) - 1] = 12;
    const std::string text = ResultModelText(ws);
    EXPECT_NE(text.find(" Variables :\r\n[Thickness: 3], [Thickness:12], \r\n\r\n"
                        "[Roughness:3] <== [Roughness:5]\r\n"
                        "[ReDensity:11] <== [ReDensity:12]\r\n"),
              std::string::npos)
        << text;
}

TEST(ResultModelFile, WritesDensitiesInTheRunsUnits) {
    Workspace ws = ModelWorkspace({0, 0, 0, 0}, {{0.0, 7.6e-6, 1.7e-7, 0.0}});
    ws.Settings.DensityUnits = 3;
    const auto lines = Lines(ResultModelText(ws));
    // 32 pi^2 delta / lambda^2 and 4 pi beta / lambda with lambda = 1.5405.
    EXPECT_EQ(lines[2], " 0.000000E+0000   1.011440E-0003   1.386747E-0006   0.000000E+0000  ");
}

TEST(ResultModelFile, WritesTheWeightingAndCutOffLines) {
    Workspace ws = ModelWorkspace({0, 0, 0, 0}, {{0.0, 7.6e-6, 1.7e-7, 0.0}});
    ws.Settings.CutOffLevel = 1e-8;
    ws.Settings.CalculationMode = 'F';
    ws.Weighting.FractionWeights = false;
    ws.Weighting.FresnelWeights = true;
    auto lines = Lines(ResultModelText(ws));
    EXPECT_EQ(lines[9], "Calculation by  : Fourier");
    EXPECT_EQ(lines[10], "Residue weight  : Fresnel");
    EXPECT_EQ(lines[11], "CutOff Level     :  1.0E-0008");
    ws.Weighting.FresnelWeights = false;
    ws.Settings.ErrorsFromFile = true;
    ws.Settings.CalculationMode = 'P';
    lines = Lines(ResultModelText(ws));
    EXPECT_EQ(lines[9], "Calculation by  : Parratt");
    EXPECT_EQ(lines[10], "Residue weight  : Error Bar from file");
}

TEST(ResultModelFile, RoundsTheHeaderToFourDecimals) {
    Workspace ws = ModelWorkspace({0, 0, 0, 0}, {{0.0, 1e-6, 0.0, 0.0}});
    ws.Model.Header = {12.34567, 0.00004, 0.00005, 1.23456, 10.5, 0.123449};
    EXPECT_EQ(Lines(ResultModelText(ws))[0], " 12.3457  0.0000  0.0001  1.2346 10.5000  0.1234");
}

TEST(FittedCurveFile, WritesAnglesOrQzWithMeasuredAndFittedIntensity) {
    Workspace ws = ModelWorkspace({0, 0, 0, 0}, {{0.0, 1e-6, 0.0, 0.0}});
    ws.Curves.Resize(2);
    ws.Curves.Angle = {0.5, 1.25};
    ws.Curves.MeasuredIntensity = {0.25, 1e-5};
    ws.Curves.SmearedCurve = {0.2, 1.5e-5};
    EXPECT_EQ(FittedCurveText(ws),
              " 5.000000E-0001  2.500000E-0001  2.000000E-0001\r\n"
              " 1.250000E+0000  1.000000E-0005  1.500000E-0005\r\n");
    ws.Settings.QzInverseAngstrom = true;
    EXPECT_EQ(Lines(FittedCurveText(ws))[0], " 7.118525E-0002  2.500000E-0001  2.000000E-0001");
}

TEST(FitResults, ReplaceBothFilesAndKeepTheOldOnesWhenTheFirstFails) {
    testing::TemporaryDirectory directory;
    Workspace ws = ModelWorkspace({0, 0, 0, 0}, {{0.0, 1e-6, 0.0, 0.0}});
    ws.Curves.Resize(1);
    ws.Files.ResultModelFile = (directory.Path() / "m.bst").string();
    ws.Files.FittedCurveFile = (directory.Path() / "m.pct").string();
    {
        ResultSetWriter results({ws.Files.ResultModelFile, ws.Files.FittedCurveFile});
        WriteFitResults(ws, results);
    }
    EXPECT_TRUE(ws.Files.Written);
    EXPECT_EQ(testing::ReadText(ws.Files.ResultModelFile), ResultModelText(ws));
    EXPECT_EQ(testing::ReadText(ws.Files.FittedCurveFile), FittedCurveText(ws));

    const std::string previousCurve = testing::ReadText(ws.Files.FittedCurveFile);
    ws.Files.Written = false;
    ws.Files.ResultModelFile = (directory.Path() / "other.bst").string();
    ws.Curves.MeasuredIntensity[0] = 3.0;
    {
        ResultSetWriter results({ws.Files.ResultModelFile, ws.Files.FittedCurveFile});
        // A folder appears where the .bst goes: it cannot be replaced.
        std::filesystem::create_directory(ws.Files.ResultModelFile);
        EXPECT_ANY_THROW(WriteFitResults(ws, results));
    }
    EXPECT_FALSE(ws.Files.Written);
    EXPECT_EQ(testing::ReadText(ws.Files.FittedCurveFile), previousCurve);
}

TEST(LocalRunFile, LineHoldsTheMappedValuesMeritIterationsAndCalls) {
    Workspace ws;
    ws.Free.FreeCount = 2;
    ws.Free.AllocateSimplex();
    ws.Free.FreeMid = {100.0, 2.0};
    ws.Free.FreeHalfRange = {50.0, 1.0};
    ws.Free.Vertices[2] = {0.0, -std::numbers::pi};
    ws.Free.VertexMerit[2] = 0.123456789;
    ws.Fit.BestVertex = 3;
    ws.Fit.IterationCount = 42;
    ws.Fit.EvaluationCount = 1234;
    EXPECT_EQ(LocalRunLine(ws),
              "  1.500000E+0002  1.000000E+0000    Xi=  1.23456789E-0001 #ITER=     42"
              "  #Calls=   1234\r\n");
}

TEST(Clock, SecondsSinceMidnightLieWithinOneDay) {
    const double now = SecondsSinceMidnight();
    EXPECT_GE(now, 0.0);
    EXPECT_LT(now, 86400.0);
}

}  // namespace
}  // namespace korvel
