#include <gtest/gtest.h>

#include <vector>

#include "EngineTestModels.h"
#include "engine/Smearing.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

struct Resolution {
    double Wavelength = 1.54;
    double Spread = 0.0;
    double Offset1 = 0.0;
    double Offset2 = 0.0;
    double Slope1 = 0.0;
    double Slope2 = 0.0;
};

Workspace CurveWorkspace(const std::vector<double>& angles, const std::vector<double>& values,
                         const Resolution& resolution) {
    TestSample sample;
    sample.Wavelength = resolution.Wavelength;
    Workspace ws = MakeWorkspace(sample, angles);
    ws.Model.Header.WavelengthSpread = resolution.Spread;
    ws.Model.Header.ResolutionOffset1 = resolution.Offset1;
    ws.Model.Header.ResolutionOffset2 = resolution.Offset2;
    ws.Model.Header.ResolutionSlope1 = resolution.Slope1;
    ws.Model.Header.ResolutionSlope2 = resolution.Slope2;
    ws.Curves.CalculatedCurve = values;
    return ws;
}

std::vector<double> Wavy(int n) {
    std::vector<double> values;
    for (int i = 0; i < n; ++i) values.push_back(1.0 + 0.5 * ((i * 7) % 5) + 0.01 * i * i);
    return values;
}

}  // namespace

TEST(SmearingWindow, ZeroWidthsChangeNothingButExcludeBothEndPoints) {
    const auto angles = AngleGrid(0.1, 2.0, 19);
    Workspace ws = CurveWorkspace(angles, Wavy(20), Resolution{});
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    EXPECT_EQ(ws.Curves.SmearedCurve, ws.Curves.CalculatedCurve);
    EXPECT_EQ(ws.Curves.SpreadSmearedCurve, ws.Curves.CalculatedCurve);
    EXPECT_EQ(ws.Fit.FitWindowFirst, 2);
    EXPECT_EQ(ws.Fit.FitWindowLast, 19);
}

TEST(SmearingWindow, NegativeWidthsChangeNothingAndKeepEveryPoint) {
    const auto angles = AngleGrid(0.1, 2.0, 19);
    const Resolution negative{.Spread = -0.01, .Offset1 = -0.02, .Offset2 = -0.01};
    Workspace ws = CurveWorkspace(angles, Wavy(20), negative);
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    EXPECT_EQ(ws.Curves.SmearedCurve, ws.Curves.CalculatedCurve);
    EXPECT_EQ(ws.Fit.FitWindowFirst, 1);
    EXPECT_EQ(ws.Fit.FitWindowLast, 20);
}

TEST(SmearingWindow, ANeighbourExactlyOneWidthFromTheEndStaysInTheEdge) {
    // Pass 1 half width theta / 2 on angles 1, 2, 3, ...: point 2 lies exactly w(2) = 1
    // from point 1, so it is not yet far enough from the end to be smeared.
    const auto angles = AngleGrid(1.0, 12.0, 11);
    Workspace ws = CurveWorkspace(angles, Wavy(12), {.Wavelength = 1.0, .Spread = 0.5});
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    EXPECT_EQ(ws.Curves.SpreadSmearedCurve[1], ws.Curves.CalculatedCurve[1]);
    EXPECT_NE(ws.Curves.SpreadSmearedCurve[2], ws.Curves.CalculatedCurve[2]);
    EXPECT_EQ(ws.Fit.FitWindowFirst, 3);
}

TEST(SmearingPasses, WithoutWavelengthSpreadOnlyTheResolutionPassSmooths) {
    const auto angles = AngleGrid(0.5, 1.5, 40);
    Workspace ws = CurveWorkspace(angles, Wavy(41), {.Offset1 = 0.06, .Offset2 = 0.08});
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    EXPECT_EQ(ws.Curves.SpreadSmearedCurve, ws.Curves.CalculatedCurve);
    // Edge searches start at points 2 and n - 1; half width 0.06 covers 2.4 steps.
    EXPECT_EQ(ws.Fit.FitWindowFirst, 4);
    EXPECT_EQ(ws.Fit.FitWindowLast, 38);
    EXPECT_EQ(ws.Curves.SmearedCurve[2], ws.Curves.CalculatedCurve[2]);
    EXPECT_NE(ws.Curves.SmearedCurve[3], ws.Curves.CalculatedCurve[3]);
}

TEST(SmearingPasses, TriangularWeightsFallLinearlyWithDistance) {
    // Half width 2.5 steps: neighbours at 1 and 2 steps weigh 0.6 and 0.2.
    std::vector<double> spike(21, 0.0);
    spike[10] = 1.0;
    Workspace ws =
        CurveWorkspace(AngleGrid(1.0, 3.0, 20), spike, {.Offset1 = 0.25, .Offset2 = 0.25});
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    const double sum = 1.0 + 2 * 0.6 + 2 * 0.2;
    EXPECT_NEAR(ws.Curves.SmearedCurve[10], 1.0 / sum, 1e-14);
    EXPECT_NEAR(ws.Curves.SmearedCurve[9], 0.6 / sum, 1e-14);
    EXPECT_NEAR(ws.Curves.SmearedCurve[12], 0.2 / sum, 1e-14);
    EXPECT_EQ(ws.Curves.SmearedCurve[13], 0.0);
}

TEST(SmearingPasses, TheSmallerLawCutsTheTriangleOfTheFirstLaw) {
    // law1 = 2 steps, law2 = 1 step (binary-exact spacing): only the nearest neighbours
    // count, each with weight 1 - 1/2.
    const double step = 0.0078125;
    std::vector<double> angles;
    for (int i = 0; i < 30; ++i) angles.push_back(1.0 + i * step);
    std::vector<double> spike(30, 0.0);
    spike[15] = 1.0;
    Workspace ws = CurveWorkspace(angles, spike, {.Offset1 = 2 * step, .Offset2 = step});
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    EXPECT_DOUBLE_EQ(ws.Curves.SmearedCurve[15], 1.0 / 2.0);
    EXPECT_DOUBLE_EQ(ws.Curves.SmearedCurve[14], 0.5 / 2.0);
    EXPECT_DOUBLE_EQ(ws.Curves.SmearedCurve[16], 0.5 / 2.0);
    EXPECT_EQ(ws.Curves.SmearedCurve[13], 0.0);
}

TEST(SmearingPasses, ConstantCurveStaysConstantAndLinearCurveStaysLinear) {
    const auto angles = AngleGrid(0.2, 4.0, 100);
    const Resolution both{
        .Spread = 0.02, .Offset1 = 0.01, .Offset2 = 0.02, .Slope1 = 0.02, .Slope2 = 0.01};
    Workspace constant = CurveWorkspace(angles, std::vector<double>(101, 3.5), both);
    SmearCurve(constant.Model.Header, constant.Curves, constant.Fit);
    for (double value : constant.Curves.SmearedCurve) EXPECT_NEAR(value, 3.5, 1e-14);
    EXPECT_LT(constant.Fit.FitWindowFirst, constant.Fit.FitWindowLast);

    std::vector<double> line;
    for (double theta : angles) line.push_back(2.0 + 5.0 * theta);
    Workspace linear = CurveWorkspace(angles, line, both);
    SmearCurve(linear.Model.Header, linear.Curves, linear.Fit);
    for (int i = 0; i < 101; ++i) EXPECT_NEAR(linear.Curves.SmearedCurve[i], line[i], 1e-12) << i;
}

TEST(SmearingLimits, ACurveShorterThanItsWindowIsLeftUnsmearedWithAnEmptyWindow) {
    Workspace ws =
        CurveWorkspace(AngleGrid(0.0, 1.0, 10), Wavy(11), {.Offset1 = 5.0, .Offset2 = 5.0});
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    EXPECT_EQ(ws.Curves.SmearedCurve, ws.Curves.CalculatedCurve);
    EXPECT_EQ(ws.Curves.SpreadSmearedCurve, ws.Curves.CalculatedCurve);
    EXPECT_GT(ws.Fit.FitWindowFirst, ws.Fit.FitWindowLast);

    Workspace single = CurveWorkspace({0.5}, {0.25}, Resolution{});
    SmearCurve(single.Model.Header, single.Curves, single.Fit);
    EXPECT_EQ(single.Curves.SmearedCurve[0], 0.25);
    EXPECT_GT(single.Fit.FitWindowFirst, single.Fit.FitWindowLast);

    Workspace empty = CurveWorkspace({}, {}, Resolution{});
    SmearCurve(empty.Model.Header, empty.Curves, empty.Fit);
    EXPECT_GT(empty.Fit.FitWindowFirst, empty.Fit.FitWindowLast);
}

TEST(SmearingLimits, DecreasingAnglesAreLeftUnsmearedWithAnEmptyWindow) {
    const Resolution laws{.Offset1 = 0.05, .Offset2 = 0.05};
    auto angles = AngleGrid(0.1, 2.0, 30);
    std::swap(angles[10], angles[11]);
    Workspace ws = CurveWorkspace(angles, Wavy(31), laws);
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    EXPECT_EQ(ws.Curves.SmearedCurve, ws.Curves.CalculatedCurve);
    EXPECT_GT(ws.Fit.FitWindowFirst, ws.Fit.FitWindowLast);
}

TEST(SmearingLimits, RepeatedAnglesAreSmearedTogether) {
    const Resolution laws{.Offset1 = 0.05, .Offset2 = 0.05};
    auto angles = AngleGrid(0.1, 2.0, 30);
    angles[11] = angles[10];
    Workspace ws = CurveWorkspace(angles, std::vector<double>(31, 2.0), laws);
    SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    EXPECT_LE(ws.Fit.FitWindowFirst, ws.Fit.FitWindowLast);
    for (double value : ws.Curves.SmearedCurve) EXPECT_NEAR(value, 2.0, 1e-14);
}
