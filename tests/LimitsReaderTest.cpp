#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <numbers>
#include <vector>

#include "InputTestSupport.h"
#include "base/RunError.h"
#include "app/Workspace.h"
#include "app/FitInputs.h"
#include "input/ModelReader.h"

using namespace korvel;
using korvel::testing::TempFolder;

namespace {

constexpr double kPi = std::numbers::pi;

std::string Text(double value) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// A model of `counts` (n1 n2 n3 N) where layer L has thickness 10 L, delta 1e-5 L,
// beta 1e-7 L and roughness L; the substrate's thickness is 0 unless given.
std::string Model(int n1, int n2, int n3, int repeats, double substrateThickness = 0.0) {
    std::string text = "1.54 0 0 0 0 0\n" + std::to_string(n1) + " " + std::to_string(n2) + " " +
                       std::to_string(n3) + " " + std::to_string(repeats) + "\n";
    const int layers = n1 + n2 + n3 + 1;
    for (int L = 1; L <= layers; ++L) {
        const double t = L == layers ? substrateThickness : 10.0 * L;
        text += Text(t) + " " + Text(1e-5 * L) + " " + Text(1e-7 * L) + " " + Text(L) + "\n";
    }
    return text;
}

// One "lo hi s" row per parameter, all fixed with wide bounds unless changed.
struct Limits {
    explicit Limits(int layers) : rows(4 * layers, "-1000 1000 0") {}
    Limits& Set(int j, const std::string& row) {
        rows[j - 1] = row;
        return *this;
    }
    std::string Text() const {
        std::string text;
        for (const auto& row : rows) text += row + "\r\n";
        return text;
    }
    std::vector<std::string> rows;
};

Workspace Prepare(const TempFolder& dir, const std::string& model, const std::string& limits,
                  bool fit = true) {
    Workspace ws;
    ws.Settings.CommandFileName = dir.Path("run.inp");
    ws.Settings.ModelFileName = "m.mdl";
    ws.Settings.LimitsFileName = "m.lmt";
    ws.Settings.FitMode = fit;
    ws.Options.Seed = 12345;
    dir.Write("m.mdl", model);
    dir.Write("m.lmt", limits);
    return ws;
}

Workspace Read(const TempFolder& dir, const std::string& model, const std::string& limits,
               bool fit = true) {
    Workspace ws = Prepare(dir, model, limits, fit);
    ReadModelAndLimits(ws);
    return ws;
}

std::string FailureOf(Workspace& ws) {
    return korvel::testing::RunErrorOf([&] { ReadModelAndLimits(ws); });
}

// Value of free parameter k (1-based) in vertex m: c + h cos(u).
double Decoded(const Workspace& ws, int m, int k) {
    const FreeParameters& f = ws.Free;
    return f.FreeMid[k - 1] + f.FreeHalfRange[k - 1] * std::cos(f.Vertices[m - 1][k - 1]);
}

}  // namespace

TEST(ReadModelAndLimits, FreesOnlyParametersWithAStepRangeAndValue) {
    TempFolder dir;
    Limits limits(6);
    limits
        .Set(1, "10 10 10")   // lo = hi: fixed
        .Set(5, "0 100 10")   // free
        .Set(7, "0 1 150")    // free, spread capped
        .Set(21, "0 100 10")  // substrate thickness 0: never free
        .Set(22, "0 1 0");    // step 0: fixed
    const Workspace ws = Read(dir, Model(5, 0, 0, 0), limits.Text());
    EXPECT_EQ(ws.Free.FreeCount, 2);
    EXPECT_EQ(ws.Free.VertexCount, 3);
    EXPECT_EQ(ws.Free.ModelIndexOfFree(1), 5);
    EXPECT_EQ(ws.Free.ModelIndexOfFree(2), 7);
    EXPECT_FALSE(ws.Free.FreeFlags[0]);
    EXPECT_FALSE(ws.Free.FreeFlags[20]);
    for (double step : ws.Free.StepPercent) EXPECT_EQ(step, 0.0);
    EXPECT_FALSE(ws.Free.VertexHoldsValues);
}

TEST(ReadModelAndLimits, LinksParametersToTheSameColumnOfAnotherLayer) {
    TempFolder dir;
    Limits limits(6);
    limits
        .Set(20, "0 10 -2")       // layer 5 roughness follows layer 2
        .Set(16, "0 10 -2.7")     // layer 4 roughness follows layer 2 (integer part)
        .Set(12, "0 10 -0.5")     // layer 3 roughness: free with a 50 % spread
        .Set(8, "0 10 -9")        // beyond the last layer: fixed
        .Set(4, "0 10 -0.9995");  // just below a link: the largest spread
    Workspace ws = Read(dir, Model(5, 0, 0, 0), limits.Text());
    const LayerModel& m = ws.Model;
    EXPECT_EQ(m.ParameterSlots[19], 8);
    EXPECT_EQ(m.ParameterSlots[15], 8);
    EXPECT_EQ(m.ParameterSlots[11], 12);
    EXPECT_EQ(m.ParameterSlots[3], 4);
    EXPECT_EQ(m.Value(20), 2.0);
    EXPECT_EQ(ws.Free.StepPercent[19], 2.0);
    EXPECT_EQ(ws.Free.StepPercent[15], 2.0);
    EXPECT_EQ(ws.Free.StepPercent[11], 0.0);
    EXPECT_EQ(ws.Free.StepPercent[7], 0.0);
    EXPECT_EQ(ws.Free.StepPercent[3], 0.0);
    EXPECT_FALSE(ws.Free.FreeFlags[19]);
    EXPECT_FALSE(ws.Free.FreeFlags[15]);
    ASSERT_EQ(ws.Free.FreeCount, 2);  // roughness of layers 1 and 3
    EXPECT_EQ(ws.Free.ModelIndexOfFree(2), 12);
    for (int v = 1; v <= ws.Free.VertexCount; ++v) {
        EXPECT_GE(Decoded(ws, v, 2), 1.5 - 1e-12);
        EXPECT_LE(Decoded(ws, v, 2), 4.5 + 1e-12);
    }
    // Writing the target changes the linked parameter.
    ws.Model.SetValue(8, 7.0);
    EXPECT_EQ(ws.Model.Value(20), 7.0);
}

TEST(ReadModelAndLimits, SpreadsVerticesWithinStepAndBounds) {
    TempFolder dir;
    Limits limits(21);
    for (int j = 1; j <= 80; j += 4) limits.Set(j, "0 10000 150");  // 20 free thicknesses
    const Workspace ws = Read(dir, Model(20, 0, 0, 0), limits.Text());
    ASSERT_EQ(ws.Free.FreeCount, 20);
    for (int k = 1; k <= 20; ++k) {
        const double v = ws.Model.Value(ws.Free.ModelIndexOfFree(k));
        EXPECT_NEAR(Decoded(ws, 1, k), v, 1e-9 * v);
        for (int m = 2; m <= 21; ++m) {
            EXPECT_GE(Decoded(ws, m, k), v * 0.001 - 1e-9);
            EXPECT_LE(Decoded(ws, m, k), v * 1.999 + 1e-9);
        }
        for (int m = 1; m <= 21; ++m) {
            EXPECT_LE(ws.Free.Vertices[m - 1][k - 1], 0.0);
            EXPECT_GE(ws.Free.Vertices[m - 1][k - 1], -kPi);
        }
    }
}

TEST(ReadModelAndLimits, TinySpreadsAndNarrowBoundsStillEnd) {
    TempFolder dir;
    Limits limits(2);
    limits.Set(1, "0 1000 0.001").Set(4, "1 1.0000000000001 50");
    const Workspace ws = Read(dir, Model(1, 0, 0, 0), limits.Text());
    ASSERT_EQ(ws.Free.FreeCount, 2);
    for (int m = 1; m <= 3; ++m) {
        EXPECT_NEAR(Decoded(ws, m, 1), 10.0, 10.0 * 1.1e-5);
        EXPECT_GE(Decoded(ws, m, 2), 1.0 - 1e-12);
        EXPECT_LE(Decoded(ws, m, 2), 1.0000000000001 + 1e-12);
    }
}

TEST(ReadModelAndLimits, TheSameSeedGivesTheSameSimplex) {
    TempFolder dir;
    Limits limits(3);
    limits.Set(1, "0 100 30").Set(5, "0 100 30").Set(4, "0 10 30");
    const Workspace a = Read(dir, Model(2, 0, 0, 0), limits.Text());
    const Workspace b = Read(dir, Model(2, 0, 0, 0), limits.Text());
    EXPECT_EQ(a.Free.Vertices, b.Free.Vertices);
    Workspace c = Prepare(dir, Model(2, 0, 0, 0), limits.Text());
    c.Options.Seed = 999;
    ReadModelAndLimits(c);
    EXPECT_NE(a.Free.Vertices, c.Free.Vertices);
}

TEST(ReadModelAndLimits, SimulateModeReadsTheLimitsButFreesNothing) {
    TempFolder dir;
    Limits limits(3);
    limits.Set(1, "0 100 30").Set(8, "0 10 -1");
    const Workspace ws = Read(dir, Model(2, 0, 0, 0), limits.Text(), false);
    EXPECT_EQ(ws.Free.FreeCount, 0);
    EXPECT_EQ(ws.Free.VertexCount, 1);
    ASSERT_EQ(ws.Free.Vertices.size(), 1u);
    EXPECT_TRUE(ws.Free.Vertices[0].empty());
    EXPECT_EQ(ws.Model.ParameterSlots[7], 8);

    Workspace bad = Prepare(dir, Model(2, 0, 0, 0), "0 1 x\n", false);
    EXPECT_EQ(FailureOf(bad), "Invalid numeric input | " + dir.Path("m.lmt") + ", line 1: 'x'");
}

TEST(ReadModelAndLimits, ReadsALimitsFileShorterThanTheModelAsZerosAndWarns) {
    // Hand-written limits often stop after the last free row: the rest read as 0, which
    // fixes them, and the first parameter without limits is named.
    TempFolder dir;
    Workspace ws = Read(dir, Model(2, 0, 0, 0), "0 100 30\n0 1 30\n");
    EXPECT_EQ(ws.Free.FreeCount, 2);  // thickness and delta of layer 1
    for (int j = 3; j <= 12; ++j) EXPECT_FALSE(ws.Free.FreeFlags[j - 1]) << j;
    ASSERT_EQ(ws.Warnings.Texts.size(), 1u);
    EXPECT_EQ(ws.Warnings.Texts[0],
              dir.Path("m.lmt") +
                  ": the limits file ends before the limits of [ImDensity:1] (layer 1, column "
                  "3); the missing numbers read as 0, which fixes it and every parameter after "
                  "it.");
    // Ending inside the last row: its step reads as 0.
    Workspace partial = Read(dir, Model(0, 0, 0, 0), "0 100 30\n0 1 30\n0 1 30\n0 10");
    EXPECT_EQ(partial.Free.FreeCount, 2);  // the substrate's thickness 0 is never free
    EXPECT_FALSE(partial.Free.FreeFlags[3]);
    ASSERT_EQ(partial.Warnings.Texts.size(), 1u);
    EXPECT_NE(partial.Warnings.Texts[0].find("ends inside the limits of [Roughness:1] (layer 1, "
                                             "column 4)"),
              std::string::npos)
        << partial.Warnings.Texts[0];
    // Simulate mode frees nothing, so the limits are not needed and nothing is said.
    const Workspace simulate = Read(dir, Model(2, 0, 0, 0), "0 100 30\n", false);
    EXPECT_EQ(simulate.Free.FreeCount, 0);
    EXPECT_TRUE(simulate.Warnings.Texts.empty());
    // A complete file: no warning.
    EXPECT_TRUE(Read(dir, Model(2, 0, 0, 0), Limits(3).Text()).Warnings.Texts.empty());
}

TEST(ReadModelAndLimits, RefusesNegativeLimitsOfAFreeThicknessOrRoughness) {
    TempFolder dir;
    Limits limits(3);
    limits.Set(8, "-1 10 20");  // layer 2 roughness, value 2
    Workspace ws = Prepare(dir, Model(2, 0, 0, 0), limits.Text());
    EXPECT_EQ(FailureOf(ws),
              "Negative limit for the roughness of layer 2, column 4: a thickness or roughness "
              "cannot be below 0. | " +
                  dir.Path("m.lmt") + ", line 8: '-1'");
    limits.Set(8, "0 10 0").Set(1, "-1e308 1e308 10");
    Workspace wide = Prepare(dir, Model(2, 0, 0, 0), limits.Text());
    EXPECT_EQ(FailureOf(wide),
              "Negative limit for the thickness of layer 1, column 1: a thickness or roughness "
              "cannot be below 0. | " +
                  dir.Path("m.lmt") + ", line 1: '-1e308'");
    // Fixed rows (the file's own defaults here) and negative densities stay valid.
    limits.Set(1, "0 100 10").Set(2, "-1e-4 1e-4 10");
    EXPECT_EQ(Read(dir, Model(2, 0, 0, 0), limits.Text()).Free.FreeCount, 2);
}

TEST(ReadModelAndLimits, RefusesLimitsTooFarApartForTheirMiddleOrHalfRange) {
    // The half range of -1e308 .. 1e308 overflows: every value of the search would be
    // infinite or not a number.
    TempFolder dir;
    Limits limits(2);
    limits.Set(2, "-1e308 1e308 10");
    Workspace ws = Prepare(dir, Model(1, 0, 0, 0), limits.Text());
    EXPECT_EQ(FailureOf(ws),
              "The limits of [ReDensity:1] (layer 1, column 2) are too far apart: their middle "
              "or half range is not a finite number. | " +
                  dir.Path("m.lmt") + ", line 2: '-1e308'");
    limits.Set(2, "1e307 1.7e308 10");  // the middle overflows
    Workspace high = Prepare(dir, Model(1, 0, 0, 0), limits.Text());
    EXPECT_NE(FailureOf(high).find("too far apart"), std::string::npos);
}

TEST(ReadModelAndLimits, WarnsOfLinkCyclesAndOfLinksToTheSubstratesThickness) {
    TempFolder dir;
    Limits limits(5);
    limits
        .Set(5, "0 100 -3")  // layer 2 thickness follows layer 3
        .Set(9, "0 100 -2")  // and layer 3 follows layer 2
        .Set(12, "0 10 -3")  // layer 3 roughness follows itself
        .Set(13, "0 10 -5")  // layer 4 thickness follows the substrate's
        .Set(4, "0 10 -2");  // an ordinary link: nothing to say
    const Workspace ws = Read(dir, Model(4, 0, 0, 0, 7.0), limits.Text());
    const std::string lmt = dir.Path("m.lmt");
    EXPECT_EQ(ws.Warnings.Texts,
              (std::vector<std::string>{
                  lmt + ": the links [Thickness:2] <== [Thickness:3] <== [Thickness:2] form a "
                        "cycle; none of these parameters is free.",
                  lmt + ": the links [Roughness:3] <== [Roughness:3] form a cycle; none of these "
                        "parameters is free.",
                  lmt + ": [Thickness:4] <== [Thickness:5] follows the substrate's thickness, "
                        "which no computation uses.",
              }));
    // The links still act as the format says.
    EXPECT_EQ(ws.Model.Value(13), 7.0);
    EXPECT_EQ(ws.Free.FreeCount, 0);
}

TEST(ReadModelAndLimits, ReportsAFreeValueOutsideItsBounds) {
    TempFolder dir;
    Limits limits(4);
    limits.Set(10, "0 1e-5 10");  // layer 3 delta is 3e-5
    Workspace ws = Prepare(dir, Model(3, 0, 0, 0), limits.Text());
    EXPECT_EQ(FailureOf(ws), "Parameter [R 3 :C 2 ] out of range. | " + dir.Path("m.lmt") +
                                 ": the model's starting value of [ReDensity:3] lies outside "
                                 "its limits");
}

TEST(ReadModelAndLimits, SaysSoWhenALowerLimitLiesAboveTheUpperOne) {
    TempFolder dir;
    Limits limits(4);
    limits.Set(5, "30 10 10");  // layer 2 is 20 A thick: inside, were the limits in order
    Workspace ws = Prepare(dir, Model(3, 0, 0, 0), limits.Text());
    EXPECT_EQ(FailureOf(ws), "The lower limit of [Thickness:2] is above its upper limit. | " +
                                 dir.Path("m.lmt") + ", parameter 5: lower 30, upper 10");
    // A fixed parameter's limits are never used.
    limits.Set(5, "30 10 0");
    Workspace fixed = Prepare(dir, Model(3, 0, 0, 0), limits.Text());
    EXPECT_EQ(FailureOf(fixed), "");
}

TEST(ReadModelAndLimits, ConvertsDensityBoundsWithTheDensityUnits) {
    TempFolder dir;
    Limits limits(2);
    limits.Set(2, "1 3 10");  // SLD bounds around the file value 2 (scaled below)
    std::string model = "1.54 0 0 0 0 0\n1 0 0 0\n10 2 0 3\n0 2 0 3\n";
    Workspace ws = Prepare(dir, model, limits.Text());
    ws.Settings.DensityUnits = 1;
    ReadModelAndLimits(ws);
    ASSERT_EQ(ws.Free.FreeCount, 1);
    EXPECT_DOUBLE_EQ(ws.Free.FreeMid[0], ConvertDensity(2, 2.0, 1, 1.54));
    EXPECT_DOUBLE_EQ(ws.Free.FreeHalfRange[0], ConvertDensity(2, 1.0, 1, 1.54));
}

TEST(ReadModelAndLimits, RefusesMoreThan99FreeParameters) {
    TempFolder dir;
    Limits limits(25);
    for (auto& row : limits.rows) row = "-1000 1000 10";
    Workspace ws = Prepare(dir, Model(24, 0, 0, 0, 5.0), limits.Text());
    EXPECT_EQ(FailureOf(ws), "Too many free parameters: 100 (at most 99). | " + dir.Path("m.lmt"));
}

TEST(RepeatUnitConstraint, CarriesTheFreeThicknessesAsAnglesThatSplitThePeriod) {
    TempFolder dir;
    Limits limits(6);  // top layer 1, repeat unit 2..4, bottom 5, substrate 6
    limits.Set(5, "0 100 10").Set(9, "0 100 10").Set(13, "0 100 10").Set(17, "0 100 10");
    Workspace ws = Prepare(dir, Model(1, 3, 1, 10), limits.Text());
    ws.Settings.RepeatUnitFixed = true;
    ReadModelAndLimits(ws);
    const FreeParameters& f = ws.Free;
    EXPECT_TRUE(ws.Settings.RepeatUnitFixed);
    EXPECT_EQ(f.RepeatUnit.DependentThickness, 5);
    EXPECT_FALSE(f.FreeFlags[4]);
    ASSERT_EQ(f.FreeCount, 3);  // layers 3 and 4 of the unit, and the bottom layer
    EXPECT_EQ(f.RepeatUnit.RepeatUnitDivisor, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(f.RepeatUnit.RepeatUnitLength, 90.0);
    EXPECT_EQ(f.RepeatUnit.FixedRepeatUnitPart, 0.0);
    for (int k = 1; k <= 2; ++k) {
        EXPECT_DOUBLE_EQ(f.FreeMid[k - 1], kPi / 4);
        EXPECT_DOUBLE_EQ(f.FreeHalfRange[k - 1], kPi / 4);
    }
    EXPECT_EQ(f.FreeMid[2], 50.0);  // the bottom layer keeps its own bounds

    // The angles split the period back into 20, 30 and 40.
    const double phi1 = ws.Model.Value(9), phi2 = ws.Model.Value(13);
    const double t3 = std::pow(std::sin(phi1), 2) * 90.0;
    const double t4 = std::pow(std::sin(phi2), 2) * (90.0 - t3);
    EXPECT_NEAR(t3, 30.0, 1e-12);
    EXPECT_NEAR(t4, 40.0, 1e-12);
    EXPECT_NEAR(90.0 - t3 - t4, 20.0, 1e-12);
    EXPECT_NEAR(Decoded(ws, 1, 1), phi1, 1e-12);
}

TEST(RepeatUnitConstraint, CountsLinkedThicknessesAtTheirTarget) {
    TempFolder dir;
    Limits limits(5);  // repeat unit 2..4; layer 4 follows layer 3
    limits.Set(5, "0 100 10").Set(9, "0 100 10").Set(13, "0 100 -3");
    Workspace ws = Prepare(dir, Model(1, 3, 0, 10), limits.Text());
    ws.Settings.RepeatUnitFixed = true;
    ReadModelAndLimits(ws);
    const FreeParameters& f = ws.Free;
    ASSERT_TRUE(ws.Settings.RepeatUnitFixed);
    EXPECT_EQ(f.RepeatUnit.RepeatUnitDivisor, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(f.RepeatUnit.RepeatUnitLength, 80.0);  // 20 + 30 + 30
    EXPECT_EQ(f.FreeCount, 1);
    EXPECT_NEAR(ws.Model.Value(9), std::asin(std::sqrt(60.0 / 80.0)), 1e-15);
}

TEST(RepeatUnitConstraint, IsSwitchedOffWithFewerThanTwoFreeThicknesses) {
    TempFolder dir;
    Limits limits(5);
    limits.Set(5, "0 100 10").Set(13, "0 100 0");
    Workspace ws = Prepare(dir, Model(1, 3, 0, 10), limits.Text());
    ws.Settings.RepeatUnitFixed = true;
    ReadModelAndLimits(ws);
    EXPECT_FALSE(ws.Settings.RepeatUnitFixed);
    EXPECT_EQ(ws.Free.FreeCount, 1);
    EXPECT_EQ(ws.Model.Value(5), 20.0);
}

TEST(RepeatUnitConstraint, RefusesALinkToALayerOutsideTheUnit) {
    TempFolder dir;
    Limits limits(5);
    limits.Set(5, "0 100 10").Set(9, "0 100 10").Set(13, "0 100 -1");
    Workspace ws = Prepare(dir, Model(1, 3, 0, 10), limits.Text());
    ws.Settings.RepeatUnitFixed = true;
    const std::string failure = FailureOf(ws);
    EXPECT_NE(failure.find("[Thickness:4] <== [Thickness:1]"), std::string::npos) << failure;
}

TEST(RepeatUnitConstraint, RefusesThicknessesThatCannotSplitAPeriod) {
    TempFolder dir;
    Limits limits(4);  // repeat unit 1..3, the middle thickness negative
    limits.Set(1, "-100 100 10").Set(5, "-100 100 10").Set(9, "-100 100 10");
    const std::string model =
        "1.54 0 0 0 0 0\n0 3 0 5\n20 1e-5 0 3\n-30 1e-5 0 3\n40 1e-5 0 3\n0 1e-5 0 3\n";
    Workspace ws = Prepare(dir, model, limits.Text());
    ws.Settings.RepeatUnitFixed = true;
    // A negative thickness is refused by the model reader, before any split.
    EXPECT_EQ(FailureOf(ws),
              "Negative thickness -30 in layer 2, column 1: a thickness or roughness cannot be "
              "below 0. | " +
                  dir.Path("m.mdl") + ", line 4: '-30'");
}
