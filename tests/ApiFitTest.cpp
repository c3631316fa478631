// The library's fit: through ReadProblem it fits exactly as korvel-cli fits (the same
// .bst, .pct and .loc bytes, the same fitted values), a problem built from parsed texts
// fits as the files do, and the result's model, curves and figures are those its
// texts report.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ApiTestSupport.h"
#include "CliTestSupport.h"

namespace korvel {
namespace {

using testing::GoldenFits;
using testing::ReadSource;
using testing::SourcePath;

std::string SevenDigits(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value);
    return text;
}

// "  Label:layer = value" lines of korvel-cli's stdout.
std::vector<std::string> PrintedParameters(const std::string& stdoutText) {
    std::vector<std::string> lines;
    std::size_t start = stdoutText.find("fitted parameters");
    if (start == std::string::npos) return lines;
    start = stdoutText.find('\n', start) + 1;
    while (start < stdoutText.size() && stdoutText.compare(start, 2, "  ") == 0) {
        const std::size_t end = stdoutText.find('\n', start);
        lines.push_back(stdoutText.substr(start + 2, end - start - 2));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> ResultParameters(const api::FitResult& result) {
    std::vector<std::string> lines;
    for (const api::FittedParameter& p : result.Parameters)
        lines.push_back(p.Name + " = " + SevenDigits(p.Value));
    return lines;
}

// The demo's command file with a tolerance and a cut-off level (above the lowest data
// points) of more digits than the settings dialog shows: the run fits with what the
// dialog hands back.
TEST(ApiFit, TheDemoFitsAsKorvelCliFitsIt) {
    testing::TempFolder folder;
    testing::CopyDemo(folder.Root());
    folder.Write("demo.inp",
                 "demo.dat\nF\nN\nY\nau-film-start.mdl\nau-film.lmt\n"
                 "1.23456789e-6\n3000\n1.23456789e-6\nM\n");
    const testing::CliResult cli =
        testing::RunCli({"fit", "demo.inp", "--seed", "1", "--quiet"}, folder.Root());
    ASSERT_EQ(cli.ExitCode, 0) << cli.Stderr;

    api::FitControl control;
    control.Seed = 1;
    const api::FitResult result = api::Fit(api::ReadProblem(folder / "demo.inp"), control);
    EXPECT_EQ(result.BstText, folder.Read("au-film-start.bst"));
    EXPECT_EQ(result.PctText, folder.Read("au-film-start.pct"));
    EXPECT_EQ(result.LocText, folder.Read("au-film-start.loc"));
    EXPECT_EQ(ResultParameters(result), PrintedParameters(cli.Stdout));
    EXPECT_EQ(result.Seed, 1u);

    // Written by the library, the files are the program's, byte for byte.
    testing::TempFolder written;
    const std::vector<std::string> paths = api::WriteResults(result, written.Path().string());
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0], written / "au-film-start.bst");
    for (const char* name : {"au-film-start.bst", "au-film-start.pct", "au-film-start.loc"})
        EXPECT_EQ(written.Read(name), folder.Read(name)) << name;
}

// The fits of the golden run: film, multilayer with a fixed repeat unit and Fresnel
// weights, fraction weights, neutrons in Qz and SLD; Newton sections and uncertainty
// tables. The engine may use every processor: results do not depend on it.
TEST(ApiFit, TheGoldenFitsWriteTheStoredResultFiles) {
    for (testing::GoldenFit fit : GoldenFits()) {
        SCOPED_TRACE(fit.CommandFile);
        fit.Control.Threads = 0;
        const api::FitResult result =
            api::Fit(api::ReadProblem(SourcePath(fit.CommandFile), fit.Options), fit.Control);
        EXPECT_EQ(result.BstText, ReadSource(fit.Expected + ".bst"));
        EXPECT_EQ(result.PctText, ReadSource(fit.Expected + ".pct"));
        EXPECT_EQ(result.LocText, ReadSource(fit.Expected + ".loc"));
        const std::string folder = fit.Expected.substr(0, fit.Expected.rfind('/'));
        EXPECT_EQ(ResultParameters(result), PrintedParameters(ReadSource(folder + "/stdout.txt")));
        // Asked for, the estimate gives every free parameter an uncertainty.
        for (const api::FittedParameter& p : result.Parameters)
            EXPECT_EQ(p.Uncertainty.has_value(), fit.Control.Uncertainty) << p.Name;
        EXPECT_FALSE(result.Stopped);
        EXPECT_FALSE(result.Termination.empty());
    }
}

// The last model block of the report is the fitted sample (after a Newton step, the
// Newton point's), in the sample's own units; so are the uncertainties, which the
// report's table gives in delta and beta.
TEST(ApiFit, TheResultIsTheModelTheReportEndsWith) {
    const testing::GoldenFit fit = GoldenFits()[3];  // neutrons in SLD units; a Newton point
    const api::FitResult result =
        api::Fit(api::ReadProblem(SourcePath(fit.CommandFile), fit.Options), fit.Control);
    const std::string& bst = result.BstText;
    const std::size_t section = bst.rfind("Model after Neuton step");
    ASSERT_NE(section, std::string::npos);
    const std::string header = "4.75 0.095 0.004 0.05 0.01 0\n1 0 1 0\n";
    const api::Sample read =
        api::ParseSample(header + bst.substr(bst.find("\r\n\r\n", section) + 4),
                         api::DensityUnits::ScatteringLength);
    const api::Sample& fitted = result.Fitted;
    EXPECT_EQ(fitted.Units, api::DensityUnits::ScatteringLength);
    ASSERT_EQ(read.Layers.size(), fitted.Layers.size());
    for (std::size_t l = 0; l < read.Layers.size(); ++l) {
        EXPECT_NEAR(read.Layers[l].Thickness, fitted.Layers[l].Thickness,
                    1e-6 * fitted.Layers[l].Thickness);
        EXPECT_NEAR(read.Layers[l].ReDensity, fitted.Layers[l].ReDensity,
                    1e-6 * fitted.Layers[l].ReDensity);
        EXPECT_NEAR(read.Layers[l].Roughness, fitted.Layers[l].Roughness,
                    1e-6 * fitted.Layers[l].Roughness);
    }
    const std::size_t norma = bst.find("Norma   = ", section);
    ASSERT_NE(norma, std::string::npos);
    EXPECT_NEAR(std::stod(bst.substr(norma + 10, 23)), result.ReducedChiSquare,
                1e-13 * result.ReducedChiSquare);

    // Table rows "[ReDensity:1]    3.377470E-0005    2.392E-0008 ( 0.0007)": the
    // relative uncertainty does not depend on the units.
    ASSERT_EQ(result.Parameters.size(), 3u);
    EXPECT_EQ(result.Parameters[1].Name, "ReDensity:1");
    EXPECT_DOUBLE_EQ(result.Parameters[1].Value, fitted.Layers[0].ReDensity);
    const std::size_t row = bst.find("[ReDensity:1] ", bst.find("Estimation of Parameters"));
    ASSERT_NE(row, std::string::npos);
    const double tableValue = std::stod(bst.substr(row + 14, 18));
    const double tableUncertainty = std::stod(bst.substr(row + 32, 15));
    ASSERT_TRUE(result.Parameters[1].Uncertainty);
    EXPECT_NEAR(*result.Parameters[1].Uncertainty / result.Parameters[1].Value,
                tableUncertainty / tableValue, 1e-3 * tableUncertainty / tableValue);
}

// The .pct holds the data and the smeared curve of the search's result, scaled onto the
// data; without a Newton step that is the result's curve.
TEST(ApiFit, TheFittedCurveTextHoldsTheResultsCurves) {
    api::FitProblem problem = testing::FilmProblem();
    for (double& intensity : problem.Data.Intensity) intensity *= 2.0;
    problem.DataScaled = false;
    const api::FitResult result = api::Fit(problem, testing::SeededControl(4));
    EXPECT_NEAR(result.ScaleSmeared, 2.0, 0.01);
    const std::size_t scale = result.BstText.find("Scaling Factor for smeared curve      : ");
    ASSERT_NE(scale, std::string::npos);
    EXPECT_NEAR(std::stod(result.BstText.substr(scale + 40, 15)), result.ScaleSmeared,
                1e-6 * result.ScaleSmeared);

    const api::Curve pct = api::ParseData(result.PctText, {true, false, 0.0});
    ASSERT_EQ(pct.Theta.size(), result.Smeared.Theta.size());
    for (std::size_t i = 0; i < pct.Theta.size(); ++i) {
        EXPECT_NEAR(pct.Theta[i], result.Measured.Theta[i], 1e-6 * result.Measured.Theta[i]);
        EXPECT_NEAR(pct.Intensity[i], result.Measured.Intensity[i],
                    1e-6 * result.Measured.Intensity[i]);
        EXPECT_NEAR(pct.Uncertainty[i], result.Smeared.Intensity[i],
                    1e-6 * result.Smeared.Intensity[i]);
    }
    EXPECT_EQ(result.Measured.Intensity, problem.Data.Intensity);
    ASSERT_EQ(result.Computed.Intensity.size(), problem.Data.Intensity.size());
    // Both curves are scaled onto the data: near the data's middle they agree with it.
    const std::size_t mid = problem.Data.Intensity.size() / 2;
    EXPECT_NEAR(result.Smeared.Intensity[mid] / problem.Data.Intensity[mid], 1.0, 0.05);
}

// The three choices the command file does not carry, and the dialogs' rules for them.
TEST(ApiFit, ReadProblemTakesTheDialogsChoices) {
    const std::string demo = SourcePath("examples/demo/demo.inp");
    api::ReadOptions options;
    options.RepeatUnitFixed = true;             // the demo's film has no repeat unit
    options.Weights = api::Weighting::Fresnel;  // its data carry uncertainties
    const api::FitProblem film = api::ReadProblem(demo, options);
    EXPECT_FALSE(film.RepeatUnitFixed);
    EXPECT_EQ(film.Weights, api::Weighting::FromData);
    EXPECT_EQ(film.Data.Uncertainty.size(), film.Data.Theta.size());
    EXPECT_EQ(film.ModelFileName, "au-film-start.mdl");

    // Tolerance and cut-off come back from the dialog's fields with seven digits.
    testing::TempFolder folder;
    testing::CopyDemo(folder.Root());
    folder.Write("demo.inp",
                 "demo.dat\nF\nN\nY\nau-film-start.mdl\nau-film.lmt\n"
                 "1.23456789e-6\n3000\n9.87654321e-9\nP\n");
    const api::FitProblem rounded = api::ReadProblem(folder / "demo.inp");
    EXPECT_EQ(rounded.Tolerance, 1.234568e-6);
    EXPECT_EQ(rounded.CutOff, 9.876543e-9);
    EXPECT_EQ(rounded.Method, api::CalculationMethod::Parratt);

    const std::string multilayer = SourcePath("tests/golden/inputs/ml-fraction.inp");
    options.Weights = api::Weighting::Fraction;
    options.ErrorFraction = -1.0;  // not above 0: the dialog's 0.03
    const api::FitProblem ml = api::ReadProblem(multilayer, options);
    EXPECT_TRUE(ml.RepeatUnitFixed);
    EXPECT_EQ(ml.Weights, api::Weighting::Fraction);
    EXPECT_EQ(ml.ErrorFraction, 0.03);
    EXPECT_TRUE(ml.Data.Uncertainty.empty());
    options.Weights = api::Weighting::FromData;
    EXPECT_EQ(
        testing::RunErrorOf([&] { api::ReadProblem(multilayer, options); }),
        "The data file carries no uncertainties: the weights must be Fresnel or Fraction. | " +
            multilayer);

    // Qz data become angles with the wavelength of the model the command file names.
    options = {};
    options.Qz = true;
    options.Units = api::DensityUnits::ScatteringLength;
    const api::FitProblem ni = api::ReadProblem(SourcePath("tests/golden/inputs/ni.inp"), options);
    EXPECT_EQ(ni.Data.Theta,
              api::ParseData(ReadSource("tests/golden/inputs/ni.dat"), {true, true, 4.75}).Theta);
    EXPECT_TRUE(ni.QzAbscissa);
    EXPECT_EQ(ni.Model.Units, api::DensityUnits::ScatteringLength);
}

// A problem put together from texts parsed one by one fits as the command file's.
TEST(ApiFit, AProblemBuiltFromParsedTextsFitsAsItsCommandFile) {
    const testing::GoldenFit fit = GoldenFits()[3];
    const api::FitProblem fromFiles = api::ReadProblem(SourcePath(fit.CommandFile), fit.Options);

    api::FitProblem built;
    const std::string folder = "tests/golden/inputs/";
    built.Model = api::ParseSample(ReadSource(folder + "ni-start.mdl"),
                                   api::DensityUnits::ScatteringLength, "ni-start.mdl");
    built.Bounds = api::ParseLimits(ReadSource(folder + "ni.lmt"),
                                    4 * static_cast<int>(built.Model.Layers.size()), "ni.lmt");
    built.Data = api::ParseData(ReadSource(folder + "ni.dat"), {true, true, built.Model.Wavelength},
                                "ni.dat");
    const api::CommandFile inp = api::ParseCommandFile(ReadSource(folder + "ni.inp"), "ni.inp");
    built.Method = inp.Method;
    built.DataScaled = inp.DataScaled;
    built.Tolerance = inp.Tolerance;
    built.MaxIterations = inp.MaxIterations;
    built.CutOff = inp.CutOff;
    built.Weights = api::Weighting::FromData;
    built.QzAbscissa = true;
    built.DataFileName = inp.DataFileName;
    built.ModelFileName = inp.ModelFileName;
    built.LimitsFileName = inp.LimitsFileName;

    const api::FitResult a = api::Fit(fromFiles, fit.Control);
    const api::FitResult b = api::Fit(built, fit.Control);
    EXPECT_EQ(a.BstText, b.BstText);
    EXPECT_EQ(a.PctText, b.PctText);
    EXPECT_EQ(a.LocText, b.LocText);
}

TEST(ApiFit, AModelOnlyEvaluatedNeedsNoLimitsAndReportsItsCurve) {
    api::FitProblem problem = testing::FilmProblem();
    problem.FitMode = false;
    problem.Bounds = {};
    api::FitControl control;
    control.NewtonStep = true;  // a model only evaluated has no later phases
    control.Uncertainty = true;
    const api::FitResult result = api::Fit(problem, control);
    EXPECT_TRUE(result.Parameters.empty());
    EXPECT_TRUE(result.LocText.empty());
    EXPECT_EQ(result.BstText.find("Neuton"), std::string::npos);
    EXPECT_EQ(result.Evaluations, 2u);  // the one vertex, then the result once more
    const api::Simulation start =
        api::Simulate(problem.Model, problem.Data.Theta, api::CalculationMethod::Parratt);
    EXPECT_EQ(result.Smeared.Intensity, start.Smeared.Intensity);
    EXPECT_EQ(result.Computed.Intensity, start.Computed.Intensity);
    EXPECT_EQ(result.Measured.Intensity, problem.Data.Intensity);
    // Fraction weights: 3 % of each intensity.
    EXPECT_DOUBLE_EQ(result.Measured.Uncertainty[5], 0.03 * problem.Data.Intensity[5]);
}

TEST(ApiFit, ASeedTakenFromTheClockIsReportedAndRepeatsTheFit) {
    const api::FitProblem problem = testing::FilmProblem();
    api::FitControl control = testing::SeededControl(0);
    control.Seed.reset();
    const api::FitResult first = api::Fit(problem, control);
    control.Seed = first.Seed;
    const api::FitResult again = api::Fit(problem, control);
    EXPECT_EQ(again.BstText, first.BstText);
    EXPECT_EQ(again.LocText, first.LocText);
    EXPECT_EQ(again.Evaluations, first.Evaluations);
}

// Warnings of the readers come first, then the fit's own, each naming its file.
TEST(ApiFit, ReaderAndFitWarningsReachTheResult) {
    testing::TempFolder folder;
    folder.Write("film.mdl",
                 "1.5406 0 0.004 0.05 0 0\n2 0 0 0\n150 1.5e-5 2e-7 4\n"
                 "20 1.5e-5 2e-7 4\n0 7.6e-6 1.7e-7");  // the last roughness missing
    // Layer 2's thickness follows layer 2's own: a cycle; the file stops after layer 2.
    folder.Write("film.lmt",
                 "100 200 10\n1e-5 2e-5 10\n2e-7 2e-7 0\n1 9 10\n"
                 "10 30 -2\n");
    const api::Simulation curve =
        api::Simulate(testing::FilmSample(), testing::AngleGrid(0.1, 2.0, 59));
    folder.Write("film.dat", api::FormatData(curve.Smeared));
    folder.Write("film.inp", "film.dat\nF\nY\nN\nfilm.mdl\nfilm.lmt\n1e-6\n30\n0\nP\n");

    const api::FitProblem problem = api::ReadProblem(folder / "film.inp");
    ASSERT_EQ(problem.Warnings.size(), 2u);
    EXPECT_NE(problem.Warnings[0].find("model file ends before"), std::string::npos);
    EXPECT_NE(problem.Warnings[1].find("limits file ends"), std::string::npos);
    const api::FitResult result = api::Fit(problem, testing::SeededControl(3));
    ASSERT_EQ(result.Warnings.size(), 3u);
    EXPECT_EQ(result.Warnings[0], problem.Warnings[0]);
    EXPECT_NE(result.Warnings[2].find("form a cycle"), std::string::npos);
}

}  // namespace
}  // namespace korvel
