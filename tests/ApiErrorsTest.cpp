// Errors of the library carry the program's message and their place: the file, line
// and token of a text, the parameter of a sample or of limits, the point of a curve.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ApiTestSupport.h"
#include "CliTestSupport.h"

namespace korvel {
namespace {

using testing::RunErrorOf;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(ApiErrors, TextsNameTheirLineAndToken) {
    EXPECT_EQ(RunErrorOf([] {
                  api::ParseSample("1.54 0 0 0 0 0\n1 0 0 0\n200 2e-5 x 4\n0 0 0 0\n",
                                   api::DensityUnits::DeltaBeta, "film.mdl");
              }),
              "Invalid numeric input | film.mdl, line 3: 'x'");
    EXPECT_EQ(
        RunErrorOf([] { api::ParseSample("1.54 0 0 0 0 0\n1 0 0 0\n-5 2e-5 1e-7 4\n0 0 0 0\n"); }),
        "Negative thickness -5 in layer 1, column 1: a thickness or roughness cannot be "
        "below 0. | model, line 3: '-5'");
    EXPECT_EQ(RunErrorOf([] { api::ParseLimits("1 2 3\n4 five 6\n", 4, "f.lmt"); }),
              "Invalid numeric input | f.lmt, line 2: 'five'");
    EXPECT_EQ(RunErrorOf([] { api::ParseData("0.1 0.9\n0.05 0.8\n", {}, "d.dat"); }),
              "Data points must be in increasing order of angle. | d.dat, line 2: '0.05'");
    EXPECT_EQ(RunErrorOf([] {
                  api::ParseData("0.1 0.9 0.01\n0.2", {true, false, 0.0}, "d.dat");
              }),
              "Data file ends inside a point: 1 of 3 numbers read. | d.dat, line 2");
    EXPECT_EQ(RunErrorOf([] {
                  api::ParseData("9 0.9\n", {false, true, 1.54}, "q.dat");
              }),
              "Qz out of range. | q.dat, line 1: '9' (Qz = 9 1/A has no glancing angle at "
              "wavelength 1.54 A)");
    EXPECT_EQ(RunErrorOf([] { api::ParseCommandFile("d.dat\nF\nN\nY\nm.mdl\n", "run.inp"); }),
              "Command file ends before entry 6 (limits file name). | run.inp");
    // The density units of the sample are checked as the reader checks them.
    EXPECT_EQ(RunErrorOf([] {
                  api::ParseSample("100 0 0 0 0 0\n0 0 0 0\n0 1e306 0 0\n",
                                   api::DensityUnits::ScatteringLength, "big.mdl");
              }),
              "Density value out of range after unit conversion. | big.mdl, line 3: '1e306'");
}

TEST(ApiErrors, SamplesNameTheParameterOrTheCount) {
    api::Sample sample = testing::FilmSample();
    sample.Layers[0].Roughness = kNaN;
    EXPECT_EQ(RunErrorOf([&] {
                  api::Simulate(sample, {0.1, 0.2});
              }),
              "Invalid numeric input | sample: [Roughness:1] (layer 1, column 4)");
    sample = testing::FilmSample();
    sample.Wavelength = 0.0;
    EXPECT_EQ(RunErrorOf([&] {
                  api::Simulate(sample, {0.1, 0.2});
              }),
              "Invalid wavelength 0 (must be above 0). | sample: the wavelength");
    sample = testing::FilmSample();
    sample.RepeatUnitLayerCount = 256;
    EXPECT_EQ(RunErrorOf([&] { api::FormatSample(sample); }),
              "Repeat unit layer count 256 out of range (0 to 255). | sample");
    sample = testing::FilmSample();
    sample.TopLayerCount = 2;
    EXPECT_EQ(RunErrorOf([&] { api::FormatSample(sample); }),
              "The sample has 2 layers where its counts call for 3 (top, repeat unit and bottom "
              "layers, and the substrate). | sample");
    sample = testing::FilmSample();
    sample.Units = static_cast<api::DensityUnits>(4);
    EXPECT_EQ(RunErrorOf([&] { api::Simulate(sample, {0.1}); }),
              "Density units 4 out of range (0 to 3). | sample");
}

TEST(ApiErrors, SimulationsNameTheirPoint) {
    const api::Sample film = testing::FilmSample();
    EXPECT_EQ(RunErrorOf([&] {
                  api::Simulate(film, {0.1, 0.3, 0.2});
              }),
              "The angles of a simulation must not decrease from point to point. | Simulate, "
              "point 3: theta = 0.2 deg");
    EXPECT_EQ(RunErrorOf([&] {
                  api::Simulate(film, {0.1, 90.0});
              }),
              "Glancing angle of 90 degrees or more. | Simulate, point 2: theta = 90 deg");
    EXPECT_EQ(RunErrorOf([&] {
                  api::SimulateQz(film, {0.01, 9.0});
              }),
              "Qz out of range. | Simulate, point 2 (Qz = 9 1/A has no glancing angle at "
              "wavelength 1.5406 A)");
    EXPECT_EQ(api::Simulate(film, {}).Smeared.Intensity.size(), 0u);
}

TEST(ApiErrors, FitsNameThePointOrTheParameter) {
    api::FitProblem problem = testing::FilmProblem();
    problem.Data.Theta[4] = 0.0;
    EXPECT_EQ(RunErrorOf([&] { api::Fit(problem); }),
              "Data points must be in increasing order of angle. | film.dat, point 5");

    problem = testing::FilmProblem();
    problem.Data.Intensity[2] = kNaN;
    EXPECT_EQ(RunErrorOf([&] { api::Fit(problem); }),
              "Invalid numeric input | film.dat, point 3 (intensity)");

    problem = testing::FilmProblem();
    problem.Weights = api::Weighting::FromData;  // the curve has no uncertainties
    EXPECT_EQ(RunErrorOf([&] { api::Fit(problem); }),
              "The curve has 80 points but 0 uncertainties. | film.dat");

    // Limits that cannot hold the model's starting value name the parameter.
    problem = testing::FilmProblem();
    problem.Bounds.Parameters[0] = {140, 200, 10};
    EXPECT_EQ(RunErrorOf([&] { api::Fit(problem); }),
              "Parameter [R 1 :C 1 ] out of range. | film.lmt: the model's starting value of "
              "[Thickness:1] lies outside its limits");
    problem.Bounds.Parameters.pop_back();
    EXPECT_EQ(RunErrorOf([&] { api::Fit(problem); }),
              "The limits table does not match the model: 7 rows for 8 parameters. | film.lmt");

    problem = testing::FilmProblem();
    problem.MaxIterations = 70000;
    EXPECT_EQ(RunErrorOf([&] { api::Fit(problem); }),
              "Maximum number of iterations 70000 out of range (0 to 65535). | Fit: the maximum "
              "number of iterations");

    // A fraction of 0 leaves every point without a weight.
    problem = testing::FilmProblem();
    problem.ErrorFraction = 0.0;
    EXPECT_EQ(RunErrorOf([&] { api::Fit(problem); }),
              "The uncertainty of a data point is zero or not a number. | film.dat, point 1");
}

TEST(ApiErrors, FilesNameThemselves) {
    testing::TempFolder folder;
    EXPECT_EQ(RunErrorOf([&] { api::ReadProblem(folder / "none.inp"); }),
              "File not found. | " + (folder / "none.inp"));
    testing::CopyDemo(folder.Root());
    std::filesystem::remove(folder.Root() / "au-film.lmt");
    EXPECT_EQ(RunErrorOf([&] { api::ReadProblem(folder / "demo.inp"); }),
              "File not found. | " + (folder / "au-film.lmt"));
}

// Results are never written over the inputs the report names.
TEST(ApiErrors, ResultsAreNotWrittenOverAnInput) {
    testing::TempFolder folder;
    api::FitResult result;
    result.ModelFileName = "start.mdl";
    result.DataFileName = "start.pct";  // the fitted-curve file's name
    result.BstText = "bst";
    folder.Write("start.pct", "0.1 0.5\n");
    EXPECT_EQ(RunErrorOf([&] { api::WriteResults(result, folder.Path().string()); }),
              "An input file would be overwritten by a result file. | " + (folder / "start.pct"));
    EXPECT_EQ(folder.Read("start.pct"), "0.1 0.5\n");
    EXPECT_FALSE(std::filesystem::exists(folder.Root() / "start.bst"));
}

}  // namespace
}  // namespace korvel
