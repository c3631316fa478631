// Every file format through text: the input formats read back exactly what was
// written, the .sml of a simulation is the simulation run's file byte for byte, and
// the result texts read back as the model and curves of the fit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "ApiTestSupport.h"

namespace korvel {
namespace {

using testing::AngleGrid;
using testing::ReadSource;

void ExpectSameSample(const api::Sample& a, const api::Sample& b) {
    EXPECT_EQ(a.Wavelength, b.Wavelength);
    EXPECT_EQ(a.WavelengthSpread, b.WavelengthSpread);
    EXPECT_EQ(a.ResolutionOffset1, b.ResolutionOffset1);
    EXPECT_EQ(a.ResolutionOffset2, b.ResolutionOffset2);
    EXPECT_EQ(a.ResolutionSlope1, b.ResolutionSlope1);
    EXPECT_EQ(a.ResolutionSlope2, b.ResolutionSlope2);
    EXPECT_EQ(a.TopLayerCount, b.TopLayerCount);
    EXPECT_EQ(a.RepeatUnitLayerCount, b.RepeatUnitLayerCount);
    EXPECT_EQ(a.BottomLayerCount, b.BottomLayerCount);
    EXPECT_EQ(a.RepeatCount, b.RepeatCount);
    EXPECT_EQ(a.Units, b.Units);
    ASSERT_EQ(a.Layers.size(), b.Layers.size());
    for (std::size_t l = 0; l < a.Layers.size(); ++l) {
        EXPECT_EQ(a.Layers[l].Thickness, b.Layers[l].Thickness) << "layer " << l + 1;
        EXPECT_EQ(a.Layers[l].ReDensity, b.Layers[l].ReDensity) << "layer " << l + 1;
        EXPECT_EQ(a.Layers[l].ImDensity, b.Layers[l].ImDensity) << "layer " << l + 1;
        EXPECT_EQ(a.Layers[l].Roughness, b.Layers[l].Roughness) << "layer " << l + 1;
    }
}

// A multilayer in SLD units whose numbers have no short decimal text.
api::Sample AwkwardMultilayer() {
    api::Sample sample;
    sample.Wavelength = 4.75 + 1e-13;
    sample.WavelengthSpread = 0.1 + 0.2;
    sample.ResolutionOffset1 = 1.0 / 3.0;
    sample.ResolutionOffset2 = 2e-300;
    sample.ResolutionSlope1 = 0.01;
    sample.ResolutionSlope2 = -0.0;
    sample.TopLayerCount = 1;
    sample.RepeatUnitLayerCount = 2;
    sample.RepeatCount = 10;
    sample.Units = api::DensityUnits::ScatteringLength;
    sample.Layers = {{20.0 / 3.0, 3.470e-6, 1e-11, 3.1},
                     {31.4159265358979, 9.4e-6, 0.0, 0.0},
                     {17.5, 2.07e-6 * 3.0, 2.4e-11, 1e-5},
                     {0.0, 2.07e-6, 2.4e-11, 3.0}};
    return sample;
}

TEST(ApiFormats, ASampleReadsBackExactlyAsWrittenInItsOwnUnits) {
    const api::Sample sample = AwkwardMultilayer();
    const std::string text = api::FormatSample(sample);
    ExpectSameSample(api::ParseSample(text, api::DensityUnits::ScatteringLength), sample);
    // Every line ends as the program's files end.
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(text.find("\n"), text.find("\r\n") + 1);

    // The example models, read and written again, read as before.
    for (const char* file : {"examples/multilayer/w-si-40.mdl", "examples/neutron/ni-on-si.mdl",
                             "examples/demo/au-film-start.mdl"}) {
        SCOPED_TRACE(file);
        const api::Sample read = api::ParseSample(ReadSource(file));
        ExpectSameSample(api::ParseSample(api::FormatSample(read)), read);
    }
}

TEST(ApiFormats, ASampleKeepsTheFileNumbersWhateverItsDensityUnits) {
    const std::string text = "1.54 0 0 0 0 0\n0 0 0 0\n0 2.0e-5 4.0e-7 3\n";
    for (api::DensityUnits units :
         {api::DensityUnits::DeltaBeta, api::DensityUnits::ScatteringLength,
          api::DensityUnits::ElectronDensity, api::DensityUnits::CriticalEdge}) {
        const api::Sample sample = api::ParseSample(text, units);
        EXPECT_EQ(sample.Units, units);
        EXPECT_EQ(sample.Layers.at(0).ReDensity, 2.0e-5);
        EXPECT_EQ(sample.Layers.at(0).ImDensity, 4.0e-7);
    }
    // A repeat count without a repeat unit counts for nothing, in a file as in memory.
    const api::Sample read = api::ParseSample("1.54 0 0 0 0 0\n1 0 0 7\n10 1e-5 0 0\n0 0 0 0\n");
    EXPECT_EQ(read.RepeatCount, 0);
    api::Sample built = read;
    built.RepeatCount = 7;
    EXPECT_NE(api::FormatSample(built).find("\r\n1 0 0 0\r\n"), std::string::npos);
}

TEST(ApiFormats, AShortModelOrLimitsTextReadsAsZerosWithAWarning) {
    std::vector<std::string> warnings;
    const api::Sample sample =
        api::ParseSample("1.54 0 0 0 0 0\n1 0 0 0\n100 1e-5 1e-7", api::DensityUnits::DeltaBeta,
                         "short.mdl", &warnings);
    ASSERT_EQ(sample.Layers.size(), 2u);
    EXPECT_EQ(sample.Layers[0].Roughness, 0.0);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("short.mdl: the model file ends before [Roughness:1]", 0), 0u)
        << warnings[0];

    const api::Limits limits = api::ParseLimits("100 200 10\n0 0", 8, "short.lmt", &warnings);
    ASSERT_EQ(limits.Parameters.size(), 8u);
    EXPECT_EQ(limits.Parameters[0].Step, 10.0);
    EXPECT_EQ(limits.Parameters[7].Upper, 0.0);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(
        warnings[1].find("short.lmt: the limits file ends inside the limits of [ReDensity:1]"),
        std::string::npos)
        << warnings[1];
}

TEST(ApiFormats, LimitsReadBackExactly) {
    api::Limits limits;
    limits.Parameters = {{100.0 / 3.0, 1e300, 10.0}, {1e-5, 2e-5, 99.95}, {0, 0, -2}, {-0.0, 7, 0}};
    const api::Limits read = api::ParseLimits(api::FormatLimits(limits), 4);
    ASSERT_EQ(read.Parameters.size(), 4u);
    for (std::size_t j = 0; j < 4; ++j) {
        EXPECT_EQ(read.Parameters[j].Lower, limits.Parameters[j].Lower);
        EXPECT_EQ(read.Parameters[j].Upper, limits.Parameters[j].Upper);
        EXPECT_EQ(read.Parameters[j].Step, limits.Parameters[j].Step);
    }
}

TEST(ApiFormats, DataReadBackInDegreesExactlyAndInQzToTheLastDigits) {
    api::Curve curve;
    curve.Theta = {0.1, 0.1 + 1.0 / 3.0, 0.7, 2.0};
    curve.Intensity = {0.9, 1.0 / 7.0, 1e-300, 2.5e-9};
    curve.Uncertainty = {0.01, 0.02, 1e-301, 1e-10};
    const api::Curve read =
        api::ParseData(api::FormatData(curve, {true, false, 0.0}), {true, false, 0.0});
    EXPECT_EQ(read.Theta, curve.Theta);
    EXPECT_EQ(read.Intensity, curve.Intensity);
    EXPECT_EQ(read.Uncertainty, curve.Uncertainty);

    // Without uncertainties none is written or read.
    const std::string two = api::FormatData(curve);
    EXPECT_TRUE(api::ParseData(two).Uncertainty.empty());
    EXPECT_EQ(two.substr(0, two.find('\r')), "0.1 0.9");

    // Qz at a neutron wavelength: written as Qz, read back as the same angles.
    const api::DataFormat qz{false, true, 4.75};
    const std::string text = api::FormatData(curve, qz);
    const api::Curve back = api::ParseData(text, qz);
    for (std::size_t i = 0; i < curve.Theta.size(); ++i)
        EXPECT_NEAR(back.Theta[i], curve.Theta[i], 1e-14 * curve.Theta[i]);
    const double firstQz = std::stod(text);
    EXPECT_NEAR(firstQz, 4.0 * std::numbers::pi * std::sin(0.1 * std::numbers::pi / 180.0) / 4.75,
                1e-16);
}

TEST(ApiFormats, ACommandFileReadsBackExactly) {
    api::CommandFile file;
    file.DataFileName = "data with blanks.dat";
    file.FitMode = false;
    file.DataScaled = false;
    file.ErrorsFromFile = false;
    file.ModelFileName = "../models/start.mdl";
    file.LimitsFileName = "/abs/limits.lmt";
    file.Tolerance = 1.0 / 3.0 * 1e-6;
    file.MaxIterations = 65535;
    file.CutOff = 1e-12;
    file.Method = api::CalculationMethod::Fourier;
    const api::CommandFile read = api::ParseCommandFile(api::FormatCommandFile(file));
    EXPECT_EQ(read.DataFileName, file.DataFileName);
    EXPECT_EQ(read.FitMode, file.FitMode);
    EXPECT_EQ(read.DataScaled, file.DataScaled);
    EXPECT_EQ(read.ErrorsFromFile, file.ErrorsFromFile);
    EXPECT_EQ(read.ModelFileName, file.ModelFileName);
    EXPECT_EQ(read.LimitsFileName, file.LimitsFileName);
    EXPECT_EQ(read.Tolerance, file.Tolerance);
    EXPECT_EQ(read.MaxIterations, file.MaxIterations);
    EXPECT_EQ(read.CutOff, file.CutOff);
    EXPECT_EQ(read.Method, file.Method);

    // The demo's file with its comments; an unknown method letter means Matrix.
    const api::CommandFile demo = api::ParseCommandFile(ReadSource("examples/demo/demo.inp"));
    EXPECT_EQ(demo.DataFileName, "demo.dat");
    EXPECT_TRUE(demo.FitMode);
    EXPECT_TRUE(demo.DataScaled);
    EXPECT_TRUE(demo.ErrorsFromFile);
    EXPECT_EQ(demo.Tolerance, 1.0e-6);
    EXPECT_EQ(demo.MaxIterations, 3000);
    EXPECT_EQ(demo.Method, api::CalculationMethod::Matrix);
    const api::CommandFile other =
        api::ParseCommandFile("d.dat\nF\nN\nY\nm.mdl\nl.lmt\n1e-5\n100\n0\nParratt\n");
    EXPECT_EQ(other.Method, api::CalculationMethod::Parratt);
    EXPECT_EQ(api::ParseCommandFile("d.dat\nF\nN\nY\nm.mdl\nl.lmt\n1e-5\n100\n0\nX\n").Method,
              api::CalculationMethod::Matrix);
}

// A name the command file could not hold would shift or hide its entries when read.
TEST(ApiFormats, ACommandFileRefusesNamesItCannotHold) {
    api::CommandFile file;
    file.DataFileName = "d.dat";
    file.ModelFileName = "m.mdl";
    file.LimitsFileName = "l.lmt";
    for (const char* name : {"", "#comment.mdl", "two\nlines.mdl"}) {
        file.ModelFileName = name;
        EXPECT_NE(testing::RunErrorOf([&] { api::FormatCommandFile(file); }), "") << name;
    }
}

// The simulation runs of the golden run, through the library: the same .sml bytes.
TEST(ApiFormats, TheSmlOfASimulationIsTheSimulationRunsFile) {
    struct Case {
        const char* Model;
        api::DensityUnits Units;
        api::CalculationMethod Method;
        bool Qz;
        double Upper;
        int Intervals;
        const char* Expected;
    };
    const Case cases[] = {
        {"examples/xray-film/au-on-si.mdl", api::DensityUnits::DeltaBeta,
         api::CalculationMethod::Matrix, false, 3.0, 600, "sim-film/au-on-si.sml"},
        {"examples/multilayer/w-si-40.mdl", api::DensityUnits::DeltaBeta,
         api::CalculationMethod::Parratt, false, 5.0, 500, "sim-ml-parratt/w-si-40.sml"},
        {"examples/multilayer/w-si-40.mdl", api::DensityUnits::DeltaBeta,
         api::CalculationMethod::Fourier, false, 5.0, 500, "sim-ml-fourier/w-si-40.sml"},
        {"examples/neutron/ni-on-si.mdl", api::DensityUnits::ScatteringLength,
         api::CalculationMethod::Matrix, true, 0.15, 300, "sim-neutron-qz/ni-on-si.sml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Expected);
        const api::Sample sample = api::ParseSample(ReadSource(c.Model), c.Units);
        const std::vector<double> grid = AngleGrid(0.0, c.Upper, c.Intervals);
        const api::Simulation simulation =
            c.Qz ? api::SimulateQz(sample, grid, c.Method) : api::Simulate(sample, grid, c.Method);
        const std::string sml = api::FormatSml(simulation);
        EXPECT_EQ(sml, ReadSource(std::string("tests/golden/expected/") + c.Expected));

        // Read back as data, the .sml is the smeared curve to its seven digits.
        const api::Curve read = api::ParseData(sml, {false, c.Qz, sample.Wavelength});
        ASSERT_EQ(read.Intensity.size(), simulation.Smeared.Intensity.size());
        for (std::size_t i = 0; i < read.Intensity.size(); ++i)
            EXPECT_NEAR(read.Intensity[i], simulation.Smeared.Intensity[i],
                        6e-7 * simulation.Smeared.Intensity[i]);
    }
}

TEST(ApiFormats, ASimulationFloorsAtTheCutOffBeforeItSmears) {
    const api::Sample film = testing::FilmSample();
    const std::vector<double> theta = AngleGrid(0.1, 6.0, 199);
    const api::Simulation plain = api::Simulate(film, theta, api::CalculationMethod::Parratt);
    const double cutOff = 1e-6;
    const api::Simulation floored =
        api::Simulate(film, theta, api::CalculationMethod::Parratt, cutOff, 2);
    bool floorReached = false;
    for (std::size_t i = 0; i < theta.size(); ++i) {
        EXPECT_EQ(floored.Computed.Intensity[i], std::max(plain.Computed.Intensity[i], cutOff));
        floorReached = floorReached || plain.Computed.Intensity[i] < cutOff;
    }
    EXPECT_TRUE(floorReached);
    EXPECT_NE(floored.Smeared.Intensity, plain.Smeared.Intensity);
}

}  // namespace
}  // namespace korvel
