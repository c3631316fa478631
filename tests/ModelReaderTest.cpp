#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "InputTestSupport.h"
#include "base/RunError.h"
#include "input/ModelReader.h"

using namespace korvel;
using korvel::testing::TempFolder;

namespace {

constexpr double kPi = std::numbers::pi;

// A film on a substrate with a two-layer repeat unit stacked 40 times.
const char* const kMultilayer =
    "1.54 0.001 0.01 0.02 0.001 0.002\r\n"
    "1 2 0 40\r\n"
    "20 1.0e-5 1.0e-7 3\r\n"
    "25 3.0e-5 2.0e-6 4\r\n"
    "15 7.6e-6 1.7e-7 4.5\r\n"
    "999 7.6e-6 1.7e-7 2\r\n";

std::string MessageOf(const std::string& path) {
    LayerModel m;
    return korvel::testing::RunErrorOf([&] { ReadModel(path, 0, m); });
}

}  // namespace

TEST(ReadModel, ReadsHeaderCountsAndLayers) {
    TempFolder dir;
    LayerModel m;
    ReadModel(dir.Write("ml.mdl", kMultilayer), 0, m);
    EXPECT_EQ(m.Header.Wavelength, 1.54);
    EXPECT_EQ(m.Header.WavelengthSpread, 0.001);
    EXPECT_EQ(m.Header.ResolutionOffset1, 0.01);
    EXPECT_EQ(m.Header.ResolutionOffset2, 0.02);
    EXPECT_EQ(m.Header.ResolutionSlope1, 0.001);
    EXPECT_EQ(m.Header.ResolutionSlope2, 0.002);
    EXPECT_DOUBLE_EQ(m.WaveNumber, 2 * kPi / 1.54);
    EXPECT_EQ(m.Counts.TopLayerCount, 1);
    EXPECT_EQ(m.Counts.RepeatUnitLayerCount, 2);
    EXPECT_EQ(m.Counts.BottomLayerCount, 0);
    EXPECT_EQ(m.Counts.RepeatCount, 40);
    EXPECT_EQ(m.LayerCount, 4);
    EXPECT_EQ(m.ParameterCount, 16);
    EXPECT_EQ(m.Value(5), 25.0);
    EXPECT_EQ(m.Value(7), 2.0e-6);
    EXPECT_EQ(m.Value(13), 999.0);
    EXPECT_EQ(m.Value(16), 2.0);
    for (int j = 1; j <= 16; ++j) EXPECT_EQ(m.ParameterSlots[j - 1], j);
}

TEST(ReadModel, LineStructureDoesNotMatter) {
    TempFolder dir;
    std::string oneLine = kMultilayer;
    for (char& c : oneLine)
        if (c == '\r' || c == '\n') c = ' ';
    LayerModel a, b;
    ReadModel(dir.Write("a.mdl", kMultilayer), 0, a);
    ReadModel(dir.Write("b.mdl", "\t" + oneLine + "\x1a trailing text"), 0, b);
    EXPECT_EQ(a.ParameterCells, b.ParameterCells);
    EXPECT_EQ(a.Counts.RepeatCount, b.Counts.RepeatCount);
}

TEST(ReadModel, NoRepeatUnitMeansNoRepeats) {
    TempFolder dir;
    LayerModel m;
    ReadModel(dir.Write("m.mdl", "1.54 0 0 0 0 0\n1 0 0 7\n10 1e-5 1e-7 2\n0 2e-5 1e-7 3\n"), 0, m);
    EXPECT_EQ(m.Counts.RepeatCount, 0);
    EXPECT_EQ(m.LayerCount, 2);
}

TEST(ReadModel, SubstrateAloneHasFourParameters) {
    TempFolder dir;
    LayerModel m;
    ReadModel(dir.Write("s.mdl", "1.54 0 0 0 0 0\n0 0 0 0\n0 7.6e-6 1.7e-7 3\n"), 0, m);
    EXPECT_EQ(m.LayerCount, 1);
    EXPECT_EQ(m.ParameterCount, 4);
    EXPECT_EQ(m.Value(2), 7.6e-6);
}

TEST(ReadModel, MissingNumbersAtTheEndReadAsZero) {
    TempFolder dir;
    LayerModel m;
    ReadModel(dir.Write("short.mdl", "1.54 0 0 0 0 0\n1 0 0 0\n10 1e-5"), 0, m);
    EXPECT_EQ(m.ParameterCount, 8);
    EXPECT_EQ(m.Value(2), 1e-5);
    for (int j = 3; j <= 8; ++j) EXPECT_EQ(m.Value(j), 0.0);
}

TEST(ReadModel, AFileEndingEarlyWarnsNamingTheFirstMissingValue) {
    TempFolder dir;
    struct Case {
        const char* text;
        const char* firstMissing;
    };
    const Case cases[] = {
        // The substrate's roughness alone is missing.
        {"1.54 0 0 0 0 0\n1 0 0 0\n10 1e-5 1e-7 3\n0 7.6e-6 1.7e-7\n",
         "[Roughness:2] (layer 2, column 4)"},
        // The substrate line is missing altogether: it reads as vacuum.
        {"1.54 0 0 0 0 0\n1 0 0 0\n10 1e-5 1e-7 3\n", "[Thickness:2] (layer 2, column 1)"},
        {"1.54 0 0 0 0 0\n1 0", "the bottom layer count"},
        {"1.54 0.01", "resolution offset 1"},
    };
    for (const Case& c : cases) {
        LayerModel m;
        ReadWarnings warnings;
        const std::string path = dir.Write("short.mdl", c.text);
        ReadModel(path, 0, m, warnings);
        ASSERT_EQ(warnings.Texts.size(), 1u) << c.text;
        EXPECT_EQ(warnings.Texts[0], path + ": the model file ends before " + c.firstMissing +
                                         "; the missing numbers read as 0.");
        EXPECT_EQ(m.Value(m.ParameterCount), 0.0);  // as the format says
    }
    // A complete file, with or without a final line end, warns of nothing.
    for (const char* complete :
         {"1.54 0 0 0 0 0\n1 0 0 0\n10 1e-5 1e-7 3\n0 7.6e-6 1.7e-7 2", kMultilayer}) {
        LayerModel m;
        ReadWarnings warnings;
        ReadModel(dir.Write("full.mdl", complete), 0, m, warnings);
        EXPECT_TRUE(warnings.Texts.empty()) << warnings.Texts[0];
    }
}

TEST(ReadModel, RefusesANegativeThicknessOrRoughnessNamingLayerAndColumn) {
    TempFolder dir;
    const std::string thickness =
        dir.Write("t.mdl", "1.54 0 0 0 0 0\n2 0 0 0\n10 1e-5 0 3\n-5 1e-5 0 3\n0 7.6e-6 0 2\n");
    EXPECT_EQ(MessageOf(thickness),
              "Negative thickness -5 in layer 2, column 1: a thickness or roughness cannot be "
              "below 0. | " +
                  thickness + ", line 4: '-5'");
    const std::string roughness = dir.Write("r.mdl", "1.54 0 0 0 0 0\n0 0 0 0\n0 7.6e-6 0 -0.5\n");
    EXPECT_EQ(MessageOf(roughness),
              "Negative roughness -0.5 in layer 1, column 4: a thickness or roughness cannot be "
              "below 0. | " +
                  roughness + ", line 3: '-0.5'");
    // The substrate's thickness enters no computation, and negative densities are real
    // (some neutron scattering length densities): both are read.
    LayerModel m;
    ReadModel(dir.Write("ok.mdl", "1.54 0 0 0 0 0\n0 0 0 0\n-1 -2e-6 0 2\n"), 1, m);
    EXPECT_EQ(m.Value(1), -1.0);
    EXPECT_LT(m.Value(2), 0.0);
}

TEST(ReadModel, RefusesCountsThatDoNotFitInAByte) {
    TempFolder dir;
    LayerModel m;
    std::string ok = "1.54 0 0 0 0 0\n255 0 0 0\n";
    EXPECT_NO_THROW(ReadModel(dir.Write("ok.mdl", ok), 0, m));
    EXPECT_EQ(m.LayerCount, 256);
    EXPECT_EQ(MessageOf(dir.Write("big.mdl", "1.54 0 0 0 0 0\n1 256 0 3\n")),
              "Repeat unit layer count 256 out of range (0 to 255). | " + dir.Path("big.mdl") +
                  ", line 2: '256'");
    EXPECT_NE(MessageOf(dir.Write("neg.mdl", "1.54 0 0 0 0 0\n-1 0 0 0\n")).find("-1 out of range"),
              std::string::npos);
    EXPECT_NE(
        MessageOf(dir.Write("rep.mdl", "1.54 0 0 0 0 0\n0 1 0 300\n")).find("Repeat count 300"),
        std::string::npos);
}

TEST(ReadModel, RefusesAWavelengthThatIsNotPositive) {
    TempFolder dir;
    EXPECT_EQ(
        MessageOf(dir.Write("zero.mdl", "0 0 0 0 0 0\n0 0 0 0\n")),
        "Invalid wavelength 0 (must be above 0). | " + dir.Path("zero.mdl") + ", line 1: '0'");
    EXPECT_NE(MessageOf(dir.Write("neg.mdl", "-1.54 0 0 0 0 0\n0 0 0 0\n")), "");
    EXPECT_NE(MessageOf(dir.Write("empty.mdl", "")), "");
}

TEST(ReadModel, ReportsInvalidNumbersAndMissingFiles) {
    TempFolder dir;
    EXPECT_EQ(MessageOf(dir.Write("bad.mdl", "1.54 0 0 0 0 0\n0 0 0 0\n0 abc 0 0\n")),
              "Invalid numeric input | " + dir.Path("bad.mdl") + ", line 3: 'abc'");
    EXPECT_EQ(MessageOf(dir.Write("cnt.mdl", "1.54 0 0 0 0 0\n1.0 0 0 0\n")),
              "Invalid numeric input | " + dir.Path("cnt.mdl") + ", line 2: '1.0'");
    EXPECT_EQ(MessageOf(dir.Path("none.mdl")), "File not found. | " + dir.Path("none.mdl"));
}

TEST(ReadModel, AFailedReadLeavesThePreviousModel) {
    TempFolder dir;
    LayerModel m;
    ReadModel(dir.Write("ml.mdl", kMultilayer), 0, m);
    EXPECT_THROW(ReadModel(dir.Write("bad.mdl", "1.54 0 0 0 0 0\n0 0 0 0\nx"), 0, m), RunError);
    EXPECT_EQ(m.ParameterCount, 16);
}

TEST(ReadModel, ConvertsOnlyTheDensityColumns) {
    TempFolder dir;
    const std::string path = dir.Write("sld.mdl", "1.54 0 0 0 0 0\n0 0 0 0\n5 2.0e-5 3.0e-6 4\n");
    LayerModel m;
    ReadModel(path, 1, m);
    EXPECT_EQ(m.Value(1), 5.0);
    EXPECT_DOUBLE_EQ(m.Value(2), 2.0e-5 * 1.54 * 1.54 / (2 * kPi));
    EXPECT_DOUBLE_EQ(m.Value(3), 3.0e-6 * 1.54 * 1.54 / (2 * kPi));
    EXPECT_EQ(m.Value(4), 4.0);
    ReadModel(path, 3, m);  // Qc^2 with lambda^2, mu with lambda
    EXPECT_DOUBLE_EQ(m.Value(2), 2.0e-5 * 1.54 * 1.54 / (32 * kPi * kPi));
    EXPECT_DOUBLE_EQ(m.Value(3), 3.0e-6 * 1.54 / (4 * kPi));
}

TEST(DensityUnits, ConversionsAndTheirInversesAgree) {
    EXPECT_DOUBLE_EQ(ConvertDensity(2, 0.5, 2, 1.54), 0.5 * 1.54 * 1.54 * 2.817939e-5 / (2 * kPi));
    EXPECT_DOUBLE_EQ(32 * kPi * kPi, 315.82734083485946);
    for (int units = 0; units <= 3; ++units)
        for (int j : {2, 3, 18, 19})
            EXPECT_NEAR(ToFileUnits(j, ConvertDensity(j, 1.7e-6, units, 1.54), units, 1.54), 1.7e-6,
                        1e-20)
                << units << " " << j;
    EXPECT_DOUBLE_EQ(ToFileUnits(2, 1e-6, 3, 2.0), 32 * kPi * kPi * 1e-6 / 4.0);
    EXPECT_DOUBLE_EQ(ToFileUnits(3, 1e-6, 3, 2.0), 4 * kPi * 1e-6 / 2.0);
    EXPECT_EQ(ToFileUnits(2, 1e-6, 4, 1.54), 0.0);
}

TEST(QzAndAngle, ConvertBothWays) {
    EXPECT_NEAR(QzToAngle(0.1, 1.54), std::asin(0.1 * 1.54 / (4 * kPi)) * 180 / kPi, 1e-14);
    EXPECT_NEAR(QzToAngle(0.1, 1.54), 0.702, 5e-4);
    EXPECT_EQ(QzToAngle(0.0, 1.54), 0.0);
    for (double theta : {0.01, 0.5, 3.0, 45.0, 89.0})
        EXPECT_NEAR(QzToAngle(AngleToQz(theta, 1.54), 1.54), theta, 1e-12);
    EXPECT_DOUBLE_EQ(CosSquaredOfAngle(0.0), 1.0);
    EXPECT_NEAR(CosSquaredOfAngle(45.0), 0.5, 1e-15);
    EXPECT_NEAR(CosSquaredOfAngle(90.0), 0.0, 1e-30);
}

TEST(QzAndAngle, RefusesAQzWithoutAGlancingAngle) {
    // With lambda = 4 pi, s equals Qz exactly.
    for (double qz : {1.0, 1.5, -1.0})
        EXPECT_EQ(korvel::testing::RunErrorOf([&] {
                      QzToAngle(qz, 4 * kPi);
                  }).rfind("Qz out of range. | Qz = ", 0),
                  0u)
            << qz;
    EXPECT_EQ(korvel::testing::RunErrorOf([] { QzToAngle(9.5, 1.54); }),
              "Qz out of range. | Qz = 9.5 1/A has no glancing angle at wavelength 1.54 A");
}

TEST(PeekModel, ReadsHeaderAndCountsOnly) {
    TempFolder dir;
    LayerModel m;
    m.ParameterCount = 4;
    m.Allocate();
    m.SetValue(2, 42.0);
    PeekModel(dir.Write("ml.mdl", kMultilayer), m);
    EXPECT_EQ(m.Header.Wavelength, 1.54);
    EXPECT_EQ(m.Counts.RepeatUnitLayerCount, 2);
    EXPECT_EQ(m.ParameterCount, 4);
    EXPECT_EQ(m.Value(2), 42.0);
    LayerModel h;
    ReadModelHeader(dir.Write("h.mdl", "8.0 0.1 0 0 0 0 junk"), h);
    EXPECT_EQ(h.Header.Wavelength, 8.0);
    EXPECT_DOUBLE_EQ(h.WaveNumber, 2 * kPi / 8.0);
}
