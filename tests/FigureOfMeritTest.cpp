#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "EngineTestModels.h"
#include "base/RunError.h"
#include "fit/CurveEvaluation.h"
#include "fit/FigureOfMerit.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr double kPi = 3.141592653589793;

// Makes parameter j free with bounds low .. high; free parameters must be added in
// increasing order of j.
void MakeFree(Workspace& ws, int j, double low, double high) {
    ws.Free.FreeFlags[j - 1] = true;
    ws.Free.FreeCount++;
    ws.Free.FreeMid.push_back((high + low) / 2.0);
    ws.Free.FreeHalfRange.push_back((high - low) / 2.0);
    ws.Free.VertexHoldsValues = false;
}

TestSample Film() {
    TestSample sample;
    sample.Top = {{100.0, 4e-6, 1e-7, 2.0}};
    sample.Substrate = SiliconLike(3.0);
    return sample;
}

// A top layer over a four-layer repeat unit; unit layers are model layers 2 .. 5.
TestSample PeriodicSample() {
    TestSample sample;
    sample.Top = {{10.0, 3e-6, 1e-7, 2.0}};
    sample.Unit = {{30.0, 8e-6, 4e-7, 3.0},
                   {25.0, 3e-6, 2e-8, 3.0},
                   {10.0, 5e-6, 1e-7, 3.0},
                   {25.0, 3e-6, 2e-8, 3.0}};
    sample.RepeatCount = 8;
    sample.Substrate = SiliconLike(3.0);
    return sample;
}

double PeriodThickness(const Workspace& ws) {
    double sum = 0.0;
    for (int layer = 2; layer <= 5; ++layer)
        sum += ws.Model.Value(ParameterIndex(layer, Column::Thickness));
    return sum;
}

}  // namespace

TEST(VertexMapping, AnglesZeroMinusPiAndMinusHalfPiGiveUpperLowerAndMiddleBounds) {
    Workspace ws = MakeWorkspace(Film(), {0.5});
    MakeFree(ws, ParameterIndex(1, Column::Thickness), 80.0, 120.0);
    MakeFree(ws, ParameterIndex(1, Column::Roughness), 1.0, 5.0);
    MakeFree(ws, ParameterIndex(2, Column::Roughness), 0.0, 10.0);
    const std::vector<double> vertex{0.0, -kPi, -kPi / 2};
    MapVertexToModel(ws, vertex);
    EXPECT_DOUBLE_EQ(ws.Model.Value(ParameterIndex(1, Column::Thickness)), 120.0);
    EXPECT_DOUBLE_EQ(ws.Model.Value(ParameterIndex(1, Column::Roughness)), 1.0);
    EXPECT_NEAR(ws.Model.Value(ParameterIndex(2, Column::Roughness)), 5.0, 1e-15);
    EXPECT_EQ(vertex[0], 0.0);  // the vertex itself is untouched
}

TEST(VertexMapping, AVertexHoldingValuesIsWrittenAsItIsAndReachesLinkedParameters) {
    Workspace ws = MakeWorkspace(PeriodicSample(), {0.5});
    ws.Model.Link(ParameterIndex(3, Column::Roughness), ParameterIndex(2, Column::Roughness));
    MakeFree(ws, ParameterIndex(2, Column::Roughness), 0.0, 10.0);
    ws.Free.VertexHoldsValues = true;
    MapVertexToModel(ws, std::vector<double>{4.25});
    EXPECT_EQ(ws.Model.Value(ParameterIndex(2, Column::Roughness)), 4.25);
    EXPECT_EQ(ws.Model.Value(ParameterIndex(3, Column::Roughness)), 4.25);
}

TEST(VertexMapping, FixedRepeatUnitSharesAlwaysAddUpToThePeriod) {
    // Unit layer 1 (model layer 2) is the dependent thickness, layers 2 and 4 are free
    // angles, layer 3 is fixed at 10 A; a free top roughness comes first in the vector.
    Workspace ws = MakeWorkspace(PeriodicSample(), {0.5});
    ws.Settings.RepeatUnitFixed = true;
    MakeFree(ws, ParameterIndex(1, Column::Roughness), 0.0, 6.0);
    MakeFree(ws, ParameterIndex(3, Column::Thickness), 0.0, kPi / 2);
    MakeFree(ws, ParameterIndex(5, Column::Thickness), 0.0, kPi / 2);
    ws.Free.RepeatUnit.DependentThickness = ParameterIndex(2, Column::Thickness);
    ws.Free.RepeatUnit.RepeatUnitDivisor = {1, 1, 1, 1};
    ws.Free.RepeatUnit.RepeatUnitLength = 90.0;
    ws.Free.RepeatUnit.FixedRepeatUnitPart = 10.0;

    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> angle(-4.0, 1.0);
    for (int trial = 0; trial < 50; ++trial) {
        const std::vector<double> vertex{angle(random), angle(random), angle(random)};
        MapVertexToModel(ws, vertex);
        EXPECT_NEAR(PeriodThickness(ws), 90.0, 1e-12);
        for (int layer = 2; layer <= 5; ++layer)
            EXPECT_GE(ws.Model.Value(ParameterIndex(layer, Column::Thickness)), 0.0);
    }
    // phi = pi/2 (angle 0) gives the first free thickness everything that is left.
    MapVertexToModel(ws, std::vector<double>{0.0, 0.0, -1.0});
    EXPECT_NEAR(ws.Model.Value(ParameterIndex(3, Column::Thickness)), 80.0, 1e-12);
    EXPECT_NEAR(ws.Model.Value(ParameterIndex(5, Column::Thickness)), 0.0, 1e-12);
    EXPECT_NEAR(ws.Model.Value(ParameterIndex(2, Column::Thickness)), 0.0, 1e-12);
}

TEST(VertexMapping, ALinkedRepeatUnitThicknessSharesItsLayersPart) {
    // Unit layer 4 follows unit layer 2: divisor 2 at layer 2, none at layer 4.
    Workspace ws = MakeWorkspace(PeriodicSample(), {0.5});
    ws.Settings.RepeatUnitFixed = true;
    ws.Model.Link(ParameterIndex(5, Column::Thickness), ParameterIndex(3, Column::Thickness));
    MakeFree(ws, ParameterIndex(3, Column::Thickness), 0.0, kPi / 2);
    ws.Free.RepeatUnit.DependentThickness = ParameterIndex(2, Column::Thickness);
    ws.Free.RepeatUnit.RepeatUnitDivisor = {1, 2, 1, 0};
    ws.Free.RepeatUnit.RepeatUnitLength = 90.0;
    ws.Free.RepeatUnit.FixedRepeatUnitPart = 10.0;
    for (double u : {-0.3, -1.1, -2.9}) {
        MapVertexToModel(ws, std::vector<double>{u});
        EXPECT_NEAR(PeriodThickness(ws), 90.0, 1e-12);
    }
}

TEST(VertexMapping, TheFittingRunCanConvertTheBestVertexInPlace) {
    Workspace ws = MakeWorkspace(PeriodicSample(), {0.5});
    ws.Settings.RepeatUnitFixed = true;
    MakeFree(ws, ParameterIndex(3, Column::Thickness), 0.0, kPi / 2);
    MakeFree(ws, ParameterIndex(5, Column::Thickness), 0.0, kPi / 2);
    ws.Free.RepeatUnit.DependentThickness = ParameterIndex(2, Column::Thickness);
    ws.Free.RepeatUnit.RepeatUnitDivisor = {1, 1, 1, 1};
    ws.Free.RepeatUnit.RepeatUnitLength = 90.0;
    ws.Free.RepeatUnit.FixedRepeatUnitPart = 10.0;
    std::vector<double> best{-0.7, -2.0};
    ConvertVertexToValues(ws, best);
    ws.Free.VertexHoldsValues = true;
    MapVertexToModel(ws, best);
    EXPECT_NEAR(PeriodThickness(ws), 90.0, 1e-12);
    EXPECT_EQ(ws.Model.Value(ParameterIndex(3, Column::Thickness)), best[0]);
}

TEST(FigureOfMerit, AnExactMatchOfScaledDataScoresZero) {
    Workspace ws = MakeWorkspace(Film(), AngleGrid(0.1, 2.0, 60));
    ws.Model.Header.ResolutionOffset1 = 0.04;
    ws.Model.Header.ResolutionOffset2 = 0.05;
    ws.Fit.SkipFigureOfMerit = true;
    EvaluateCurve(ws, {});
    ws.Curves.MeasuredIntensity = ws.Curves.SmearedCurve;
    ws.Fit.SkipFigureOfMerit = false;
    ws.Settings.DataScaled = true;
    EXPECT_EQ(EvaluateCurve(ws, {}), 0.0);
    EXPECT_EQ(ws.Fit.ScaleSmeared, 1.0);
}

TEST(FigureOfMerit, IsTheReducedChiSquareOverTheWindow) {
    Workspace ws = MakeWorkspace(Film(), AngleGrid(0.1, 2.0, 60));
    MakeFree(ws, ParameterIndex(1, Column::Thickness), 90.0, 110.0);
    ws.Free.VertexHoldsValues = true;
    const std::vector<double> vertex{100.0};
    ws.Fit.SkipFigureOfMerit = true;
    EvaluateCurve(ws, vertex);
    // Zero widths: the window is points 2 .. 60 of 61.
    for (int i = 0; i < 61; ++i) {
        ws.Curves.Uncertainty[i] = 0.01 * (1 + i % 3);
        ws.Curves.MeasuredIntensity[i] = ws.Curves.SmearedCurve[i] + 0.5 * ws.Curves.Uncertainty[i];
    }
    // Points outside the window do not count, however far off they are.
    ws.Curves.MeasuredIntensity[0] = 1e6;
    ws.Curves.MeasuredIntensity[60] = -1e6;
    ws.Fit.SkipFigureOfMerit = false;
    const double merit = EvaluateCurve(ws, vertex);
    EXPECT_EQ(ws.Fit.FitWindowFirst, 2);
    EXPECT_EQ(ws.Fit.FitWindowLast, 60);
    EXPECT_NEAR(merit, 0.25 * 59 / (59 - 1), 1e-9);
}

TEST(FigureOfMerit, PointsOutsideTheWindowAreScaledToo) {
    Workspace ws = MakeWorkspace(Film(), AngleGrid(0.1, 2.0, 40));
    ws.Fit.SkipFigureOfMerit = true;
    EvaluateCurve(ws, {});
    const std::vector<double> raw = ws.Curves.SmearedCurve;
    for (int i = 0; i < 41; ++i) ws.Curves.MeasuredIntensity[i] = 2.5 * raw[i];
    ws.Curves.MeasuredIntensity[0] = 1.0;  // outside the window: moves only ScaleUnsmeared
    ws.Settings.DataScaled = false;
    ws.Fit.SkipFigureOfMerit = false;
    EvaluateCurve(ws, {});
    EXPECT_NEAR(ws.Fit.ScaleSmeared, 2.5, 1e-12);
    EXPECT_NE(ws.Fit.ScaleUnsmeared, 2.5);
    EXPECT_NEAR(ws.Curves.SmearedCurve[0], 2.5 * raw[0], 1e-12 * raw[0]);
    EXPECT_NEAR(ws.Curves.SmearedCurve[40], 2.5 * raw[40], 1e-12 * raw[40]);
}

TEST(FigureOfMerit, RefusesAWindowWithNoMorePointsThanFreeParameters) {
    Workspace ws = MakeWorkspace(Film(), AngleGrid(0.1, 0.4, 3));  // window 2 .. 3
    MakeFree(ws, ParameterIndex(1, Column::Thickness), 90.0, 110.0);
    MakeFree(ws, ParameterIndex(1, Column::Roughness), 1.0, 3.0);
    EXPECT_THROW(EvaluateCurve(ws, std::vector<double>{-1.0, -2.0}), RunError);
    // An empty window (a curve that cannot be smeared) is refused the same way.
    Workspace single = MakeWorkspace(Film(), {0.3});
    EXPECT_THROW(EvaluateCurve(single, {}), RunError);
}

TEST(FigureOfMerit, RefusesAZeroWeightInsideTheWindowButNotOutside) {
    Workspace ws = MakeWorkspace(Film(), AngleGrid(0.1, 2.0, 20));
    ws.Curves.Uncertainty[0] = 0.0;  // outside the window
    EXPECT_NO_THROW(EvaluateCurve(ws, {}));
    ws.Curves.Uncertainty[7] = 0.0;
    try {
        EvaluateCurve(ws, {});
        FAIL() << "no error";
    } catch (const RunError& error) {
        EXPECT_NE(error.Message().find("point 8"), std::string::npos) << error.Message();
    }
}

TEST(FigureOfMerit, AComputedCurveOfZerosKeepsScaleOne) {
    // Vacuum on vacuum with no cut-off: R = 0 away from theta = 0.
    TestSample vacuum;
    vacuum.Substrate = {0.0, 0.0, 0.0, 0.0};
    Workspace ws = MakeWorkspace(vacuum, AngleGrid(0.1, 1.0, 9));
    ws.Settings.DataScaled = false;
    const double merit = EvaluateCurve(ws, {});
    EXPECT_EQ(ws.Fit.ScaleUnsmeared, 1.0);
    EXPECT_EQ(ws.Fit.ScaleSmeared, 1.0);
    EXPECT_DOUBLE_EQ(merit, 1.0);  // measured 1, weight 1 at each of the 8 window points
}
