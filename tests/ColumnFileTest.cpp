// Column data files: ORSO text files (header units and resolution kinds, several data
// sets, what their YAML may look like), plain commented Qz/R/dR/dQ files, the points a
// fit takes of them, and the fitting run reading them.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "InputTestSupport.h"
#include "app/FitInputs.h"
#include "app/Workspace.h"
#include "input/ColumnFile.h"
#include "input/HeaderYaml.h"
#include "input/ModelReader.h"
#include "output/OrtText.h"

using namespace korvel;
using korvel::testing::ReadText;
using korvel::testing::RunErrorOf;
using korvel::testing::ScriptedWeightingInterface;
using korvel::testing::TempFolder;

namespace {

constexpr double kFwhmPerSigma = 2.3548200450309493;  // 2 sqrt(2 ln 2)

std::string SampleFile(const std::string& name) {
    return std::string(KORVEL_SOURCE_DIR) + "/tests/data/" + name;
}

ColumnData ReadSample(const std::string& name, const ColumnReadOptions& options = {}) {
    const std::string path = SampleFile(name);
    return ParseColumnFile(ReadText(path), path, options);
}

ColumnData Parse(const std::string& text, const ColumnReadOptions& options = {}) {
    return ParseColumnFile(text, "data.txt", options);
}

bool HasWarning(const ReadWarnings& warnings, const std::string& part) {
    for (const std::string& text : warnings.Texts)
        if (text.find(part) != std::string::npos) return true;
    return false;
}

std::string AllWarnings(const ReadWarnings& warnings) {
    std::string all;
    for (const std::string& text : warnings.Texts) all += text + "\n";
    return all;
}

}  // namespace

TEST(ColumnFileFormat, ChosenByTheOrtNameOrALeadingHashMark) {
    EXPECT_TRUE(IsColumnFile("run.ort", "0.01 1 0.1\n"));
    EXPECT_TRUE(IsColumnFile("RUN.ORT", ""));
    EXPECT_TRUE(IsColumnFile("data.dat", "\n  \t# Qz R dR\n0.01 1 0.1\n"));
    EXPECT_TRUE(IsColumnFile("data.dat", "\xEF\xBB\xBF# with a byte-order mark\n"));
    EXPECT_FALSE(IsColumnFile("data.dat", "0.1 1 0.1 # a comment after numbers\n"));
    EXPECT_FALSE(IsColumnFile("data.ort.dat", "0.1 1\n"));
    EXPECT_FALSE(IsColumnFile("data.dat", ""));
}

TEST(OrsoHeader, UnitsOfInverseNanometresAndAFwhmResolutionBecomeAngstromAndSigma) {
    const ColumnData data = ReadSample("film-nm-fwhm.ort");
    EXPECT_TRUE(data.Described);
    ASSERT_EQ(data.DataSets.size(), 1u);
    EXPECT_EQ(data.DataSets[0], "0");  // the format numbers unnamed data sets from 0
    const ColumnCurve& curve = data.Curve;
    ASSERT_EQ(curve.Qz.size(), 6u);
    EXPECT_DOUBLE_EQ(curve.Qz[0], 0.02);
    EXPECT_DOUBLE_EQ(curve.Qz[5], 0.12);
    EXPECT_DOUBLE_EQ(curve.R[1], 0.33);
    EXPECT_DOUBLE_EQ(curve.dR[1], 0.006);  // sigma, as the header says
    // FWHM 4.70964009e-3 / nm = a sigma of 2e-4 / A.
    EXPECT_NEAR(curve.dQz[0], 2.0e-4, 1e-12);
    EXPECT_NEAR(curve.dQz[4], 4.70964009e-3 * 3 * 0.1 / kFwhmPerSigma, 1e-15);
    EXPECT_EQ(curve.Lines[0], 41);
    // 0.15406 nm
    ASSERT_TRUE(data.WavelengthMin && data.WavelengthMax);
    EXPECT_DOUBLE_EQ(*data.WavelengthMin, 1.5406);
    EXPECT_DOUBLE_EQ(*data.WavelengthMax, 1.5406);
    EXPECT_TRUE(data.Warnings.Texts.empty()) << AllWarnings(data.Warnings);

    ReadWarnings warnings;
    CompareWavelength(data, 1.5406, warnings);
    EXPECT_TRUE(warnings.Texts.empty());
    CompareWavelength(data, 1.54, warnings);  // within 0.1 %
    EXPECT_TRUE(warnings.Texts.empty());
    CompareWavelength(data, 1.0, warnings);
    ASSERT_EQ(warnings.Texts.size(), 1u);
    EXPECT_NE(warnings.Texts[0].find("measured at a wavelength of 1.5406 A, the model's "
                                     "wavelength is 1 A"),
              std::string::npos)
        << warnings.Texts[0];
}

TEST(OrsoHeader, AFileWithTwoDataSetsGivesEitherOneAndNamesThemBoth) {
    const ColumnData first = ReadSample("two-spin-states.ort");
    ASSERT_EQ(first.DataSets, (std::vector<std::string>{"spin up", "spin down"}));
    EXPECT_EQ(first.Curve.Name, "spin up");
    EXPECT_EQ(first.Curve.Qz.size(), 3u);
    EXPECT_TRUE(HasWarning(first.Warnings, "holds 2 data sets (1 \"spin up\", 2 \"spin down\"); "
                                           "data set 1 is read."))
        << AllWarnings(first.Warnings);

    // The second set keeps the first one's columns and wavelength, and has its own points.
    const ColumnData second = ReadSample("two-spin-states.ort", {.DataSet = 2});
    EXPECT_EQ(second.Curve.Name, "spin down");
    ASSERT_EQ(second.Curve.Qz.size(), 4u);
    EXPECT_DOUBLE_EQ(second.Curve.Qz[1], 0.015);
    EXPECT_DOUBLE_EQ(second.Curve.R[1], 0.7);
    EXPECT_DOUBLE_EQ(second.Curve.dQz[3], 5e-4);
    EXPECT_TRUE(second.Described);
    ASSERT_TRUE(second.WavelengthMin && second.WavelengthMax);
    EXPECT_EQ(*second.WavelengthMin, 3.0);
    EXPECT_EQ(*second.WavelengthMax, 12.0);
    ReadWarnings warnings;
    CompareWavelength(second, 5.0, warnings);  // inside the time-of-flight band
    EXPECT_TRUE(warnings.Texts.empty());
    CompareWavelength(second, 1.54, warnings);
    EXPECT_TRUE(HasWarning(warnings, "wavelengths from 3 to 12 A"));

    EXPECT_EQ(RunErrorOf([] { ReadSample("two-spin-states.ort", {.DataSet = 3}); }),
              "The data file holds 2 data sets: there is no data set 3. | " +
                  SampleFile("two-spin-states.ort"));
}

TEST(OrsoHeader, YamlOfManyShapesIsReadAndWhatIsNotNeededIsPassedOver) {
    // Block-style column entries, a sequence at its key's indentation, a block scalar,
    // a flow mapping over two lines, quoted keys and values holding ': ' and ' #',
    // comments, and keys of no interest.
    const std::string text =
        "# # ORSO reflectivity data file | 1.0 standard | YAML encoding | https://www.reflectometry.org/\n"
        "# data_source:\n"
        "#   owner: {name: 'O''Brien: tests', affiliation: \"lab #4\"}  # a comment\n"
        "#   sample:\n"
        "#     description: |\n"
        "#       columns: this is text, not the columns\n"
        "#       - {name: Qz, unit: 1/m}\n"
        "#   measurement:\n"
        "#     instrument_settings:\n"
        "#       wavelength: {magnitude: 4.5,\n"
        "#                    unit: angstrom}\n"
        "#       unknown: [1, [2, 3], {a: b}]\n"
        "# \"columns\":\n"
        "# -   name: Qz\n"
        "#     unit: 1/angstrom\n"
        "# -   name: R\n"
        "# - {error_of: R}\n"
        "# -\n"
        "#   error_of: Qz\n"
        "#   value_is: FWHM\n"
        "0.1 1e-3 1e-5 2.35482004503e-3\n";
    const ColumnData data = Parse(text);
    EXPECT_TRUE(data.Described);
    ASSERT_EQ(data.Curve.Qz.size(), 1u);
    EXPECT_NEAR(data.Curve.dQz[0], 1e-3, 1e-14);
    ASSERT_TRUE(data.WavelengthMin);
    EXPECT_EQ(*data.WavelengthMin, 4.5);

    std::vector<HeaderLine> lines;
    int number = 0;
    for (const char* line : {"owner: {name: 'O''Brien: tests', affiliation: \"lab #4\"}  # c",
                             "list:", "- a", "- b: c", "  d: e"})
        lines.push_back({line, ++number});
    const HeaderNode root = ParseHeaderYaml(lines);
    EXPECT_EQ(root.Get({"owner", "name"})->Text, "O'Brien: tests");
    EXPECT_EQ(root.Get({"owner", "affiliation"})->Text, "lab #4");
    const HeaderNode* list = root.Get("list");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->List.size(), 2u);
    EXPECT_EQ(list->List[0].Text, "a");
    EXPECT_EQ(list->List[1].Get("d")->Text, "e");
    EXPECT_EQ(list->List[1].Line, 4);
}

TEST(OrsoHeader, CollectionsNestedThousandsDeepArePassedOverWithoutExhaustingTheStack) {
    // One call per level would overflow the stack long before 200,000 levels.
    const std::string flow = "# deep: " + std::string(200000, '[') + "\n";
    std::string block = "# deep:\n# ";
    for (int i = 0; i < 200000; ++i) block += "- ";
    block += "x\n";
    for (const std::string& header : {flow, block}) {
        const ColumnData data = Parse(header + "# columns: [{name: Qz}, {name: R}]\n0.1 0.5\n");
        ASSERT_EQ(data.Curve.R.size(), 1u);
        EXPECT_EQ(data.Curve.R[0], 0.5);
    }
}

TEST(OrsoHeader, AQzUnitItDoesNotKnowIsAnErrorNamingItsLine) {
    const std::string text =
        "# columns:\n"
        "# - {name: Qz, unit: 1/m}\n"
        "# - {name: R}\n"
        "1e8 0.5\n";
    EXPECT_EQ(RunErrorOf([&] { Parse(text); }),
              "The unit of Qz is neither 1/angstrom nor 1/nm: '1/m'. | data.txt, line 2");
}

TEST(OrsoHeader, NonGaussianResolutionsBecomeTheSigmaOfTheirDistribution) {
    auto resolution = [](const std::string& description) {
        const ColumnData data =
            Parse("# columns:\n# - {name: Qz, unit: 1/angstrom}\n# - {name: R}\n"
                     "# - {error_of: R}\n# - {error_of: Qz, " + description + "}\n"
                     "0.1 0.5 0.01 0.006\n");
        return std::make_pair(data.Curve.dQz[0], data.Warnings.Texts.size());
    };
    EXPECT_NEAR(resolution("value_is: FWHM, distribution: rectangular").first, 0.006 / std::sqrt(12.0), 1e-16);
    EXPECT_NEAR(resolution("value_is: FWHM, distribution: triangular").first, 0.006 / std::sqrt(6.0), 1e-16);
    EXPECT_EQ(resolution("distribution: uniform").first, 0.006);  // a sigma already
    EXPECT_EQ(resolution("distribution: uniform").second, 1u);   // said to be approximated
    EXPECT_TRUE(std::isnan(resolution("distribution: lorentzian").first));
}

TEST(PlainColumnFile, ReadsQzRdRdQInThatOrderWithAsManyColumnsAsTheFirstLine) {
    const ColumnData four = Parse("# Qz R dR dQ\n0.01 0.9 0.02 0.0002\n0.02 0.4 0.01 0.0004 7\n");
    EXPECT_FALSE(four.Described);
    EXPECT_EQ(four.Curve.Qz, (std::vector<double>{0.01, 0.02}));
    EXPECT_EQ(four.Curve.dR, (std::vector<double>{0.02, 0.01}));
    EXPECT_EQ(four.Curve.dQz, (std::vector<double>{0.0002, 0.0004}));

    const ColumnData fwhm =
        Parse("# Qz R dR dQ\n0.01 0.9 0.02 0.0002\n", {.ResolutionIsFwhm = true});
    EXPECT_DOUBLE_EQ(fwhm.Curve.dQz[0], 0.0002 / kFwhmPerSigma);

    const ColumnData two = Parse("#\n0.01 0.9\n0.02 0.4\n");
    EXPECT_EQ(two.Curve.R, (std::vector<double>{0.9, 0.4}));
    EXPECT_TRUE(two.Curve.dR.empty());
    EXPECT_TRUE(two.Curve.dQz.empty());
}

TEST(PlainColumnFile, ErrorsNameTheLine) {
    EXPECT_EQ(RunErrorOf([] { Parse("# Qz R dR\n0.01 0.9 0.1\n0.02 0.5\n"); }),
              "A data line holds 2 numbers, fewer than the 3 columns of the data. | data.txt, "
              "line 3");
    EXPECT_EQ(RunErrorOf([] { Parse("# Qz R\n0.01 0.9\nQz R\n"); }),
              "Invalid numeric input | data.txt, line 3: 'Qz'");
    EXPECT_EQ(RunErrorOf([] { Parse("# Qz R dR\n0.01 0.9 0.1\r\n0.02 NaN 0.1\n"); }),
              "Qz and R of a data point must be numbers, not nan. | data.txt, line 3: 'NaN'");
    EXPECT_EQ(RunErrorOf([] { Parse("# Qz R dR\n0.01 inf 0.1\n"); }),
              "Invalid numeric input | data.txt, line 2: 'inf'");
    EXPECT_EQ(RunErrorOf([] { Parse("# only a header\n"); }),
              "Data file holds no data points. | data.txt");
}

TEST(ColumnDataPoints, NonPositivePointsAreReportedAndLeftOut) {
    const ColumnData data = ReadSample("plain-qz-columns.txt");
    ASSERT_EQ(data.Curve.Qz.size(), 8u);
    ReadWarnings warnings;
    const DataPoints points = ColumnDataPoints(data, true, warnings);
    // R = 0 (line 4), R < 0 (line 6) and dR = 0 (line 9) are left out.
    ASSERT_EQ(points.Points.size(), 5u);
    EXPECT_TRUE(points.WithUncertainties);
    EXPECT_TRUE(points.WithResolution);
    EXPECT_EQ(points.Points[1].Abscissa, 0.02);
    EXPECT_EQ(points.Points[1].Uncertainty, 0.009);
    EXPECT_EQ(points.Points[1].Resolution, 0.0004);
    EXPECT_TRUE(std::isnan(points.Points[3].Resolution));  // line 10: unknown
    EXPECT_TRUE(HasWarning(warnings, "3 points with R <= 0 or dR <= 0 left out of the fit (the "
                                     "first on line 4)"))
        << AllWarnings(warnings);
    EXPECT_TRUE(HasWarning(warnings, "1 point of unknown resolution (nan) among known ones"))
        << AllWarnings(warnings);

    // Without the file's uncertainties only R decides: the point with dR = 0 stays.
    ReadWarnings unweighted;
    const DataPoints rule = ColumnDataPoints(data, false, unweighted);
    EXPECT_EQ(rule.Points.size(), 6u);
    EXPECT_FALSE(rule.WithUncertainties);
    EXPECT_TRUE(HasWarning(unweighted, "2 points with R <= 0"));
}

TEST(ColumnDataPoints, UnknownValuesFollowTheFormatsConvention) {
    ReadWarnings warnings;
    // Every uncertainty unknown: weighted as a file without them; every resolution
    // unknown: no resolution column, the model's laws.
    const ColumnData unknown = Parse("#\n0.01 0.9 nan NaN\n0.02 0.4 -nan nan\n");
    const DataPoints points = ColumnDataPoints(unknown, true, warnings);
    EXPECT_FALSE(points.WithUncertainties);
    EXPECT_FALSE(points.WithResolution);
    EXPECT_EQ(points.Points.size(), 2u);
    EXPECT_TRUE(HasWarning(warnings, "every uncertainty is unknown (nan)"));
    EXPECT_TRUE(HasWarning(warnings, "every resolution is unknown (nan)"));

    // A mix of known and unknown uncertainties: the unknown ones cannot be weighted.
    ReadWarnings mixed;
    const DataPoints some =
        ColumnDataPoints(Parse("#\n0.01 0.9 0.1\n0.02 0.4 nan\n0.03 0.1 0.01\n"), true, mixed);
    EXPECT_EQ(some.Points.size(), 2u);
    EXPECT_TRUE(HasWarning(mixed, "1 point of unknown uncertainty (nan) among known ones left "
                                  "out of the fit (the first on line 3)"));

    ReadWarnings none;
    EXPECT_EQ(RunErrorOf([&] { ColumnDataPoints(Parse("#\n0.01 0\n0.02 -1\n"), true, none); }),
              "No data point is left for the fit: every point has R <= 0, dR <= 0 or an unknown "
              "dR. | data.txt");
}

TEST(ReadColumnDataFile, FillsTheCurveWithAnglesFromQzAndTheResolutionColumn) {
    TempFolder dir;
    dir.Write("ml.mdl", "1.5406 0 0.01 0.05 0 0\n0 0 0 0\n0 7.6e-6 1.7e-7 3\n");
    dir.Write("ml.lmt", "0 0 0\n0 0 0\n0 0 0\n0 0 0\n");
    dir.Write("film.ort", ReadText(SampleFile("film-nm-fwhm.ort")));
    Workspace ws;
    ws.Settings.CommandFileName = dir.Path("run.inp");
    ws.Settings.DataFileName = "film.ort";
    ws.Settings.ModelFileName = "ml.mdl";
    ws.Settings.LimitsFileName = "ml.lmt";
    ws.Settings.QzInverseAngstrom = false;  // a column file is in Qz whatever the setting
    ScriptedWeightingInterface ui;
    ReadDataFile(ws, ui);
    EXPECT_EQ(ui.WeightingDialogsShown, 0);
    ASSERT_EQ(ws.Curves.PointCount, 6);
    EXPECT_NEAR(ws.Curves.Angle[0], QzToAngle(0.02, 1.5406), 1e-15);
    EXPECT_EQ(ws.Curves.Uncertainty[0], 0.01);
    ASSERT_EQ(ws.Curves.Resolution.size(), 6u);
    EXPECT_NEAR(ws.Curves.Resolution[0], 2e-4, 1e-12);
    ASSERT_FALSE(ws.Warnings.Texts.empty());
    EXPECT_NE(ws.Warnings.Texts.back().find("film.ort: 6 points, measured at 1.5406 A; "
                                            "resolution: the data's"),
              std::string::npos)
        << ws.Warnings.Texts.back();

    // Without taking the errors from the file the weighting dialog decides, and the
    // model's laws are asked for.
    ws.Settings.ErrorsFromFile = false;
    ws.Options.Resolution = ResolutionSource::Model;
    ws.Warnings = {};
    ui.WeightingItem = 1;
    ui.WeightingText = "0.1";
    ReadDataFile(ws, ui);
    EXPECT_EQ(ui.WeightingDialogsShown, 1);
    EXPECT_DOUBLE_EQ(ws.Curves.Uncertainty[1], 0.033);
    EXPECT_NE(ws.Warnings.Texts.back().find("resolution: the model's resolution laws"),
              std::string::npos);

    // A data set the file does not have, and one asked of a .dat file.
    ws.Options.DataSet = 2;
    EXPECT_NE(RunErrorOf([&] { ReadDataFile(ws, ui); }).find("there is no data set 2"),
              std::string::npos);
    dir.Write("film.dat", "0.1 1\n0.2 0.5\n");
    ws.Settings.DataFileName = "film.dat";
    EXPECT_NE(RunErrorOf([&] { ReadDataFile(ws, ui); }).find("The data file holds 1 data set"),
              std::string::npos);
    ws.Options.DataSet = 1;
    ReadDataFile(ws, ui);
    EXPECT_TRUE(ws.Curves.Resolution.empty());  // a .dat file has none
}

TEST(OrsoText, WrittenCurvesReadBackExactlyWhateverThePathsHold) {
    // Paths with ": ", " #", quotes and a line break must stay inside the header.
    OrtHeader header{.Program = "korvel-cli",
                     .Version = "1.0",
                     .ModelFile = "/data/\"film\": A #2.mdl",
                     .DataFile = "/data/two\nlines.dat",
                     .Wavelength = 1.5406,
                     .Resolution = "the model's"};
    ColumnCurve measured;
    measured.Name = "spin up";
    measured.Qz = {0.01, 0.1 / 3.0};
    measured.R = {0.9, 1.0 / 7.0};
    measured.dR = {0.01, 2e-3};
    const std::vector<double> fitted = {0.91, 0.14};
    const std::string text = FormatOrt(header, measured, fitted);

    std::istringstream lines(text);
    std::string line;
    int rows = 0;
    while (std::getline(lines, line))
        if (line.empty() || line[0] != '#') ++rows;
    EXPECT_EQ(rows, 2) << text;

    const ColumnData back = Parse(text);
    EXPECT_TRUE(back.Described);
    EXPECT_EQ(back.Curve.Name, "spin up");
    EXPECT_EQ(back.Curve.Qz, measured.Qz);
    EXPECT_EQ(back.Curve.R, measured.R);
    EXPECT_EQ(back.Curve.dR, measured.dR);
    ASSERT_EQ(back.Curve.dQz.size(), 2u);
    EXPECT_TRUE(std::isnan(back.Curve.dQz[0]) && std::isnan(back.Curve.dQz[1]));
    ASSERT_TRUE(back.WavelengthMin);
    EXPECT_EQ(*back.WavelengthMin, 1.5406);
}
