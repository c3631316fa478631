#pragma once
// Helpers of the library tests: the project's example and golden files, a film sample
// and a fit of it built in memory, and the golden fits and simulations with the
// korvel-cli options they were run with.

#include <korvel/korvel.h>

#include <string>
#include <vector>

#include "EngineTestModels.h"
#include "TestFiles.h"

namespace korvel::testing {

// A file of the source tree, by its path from the project's root.
inline std::string SourcePath(const std::string& relative) {
    return std::string(KORVEL_SOURCE_DIR) + "/" + relative;
}
inline std::string ReadSource(const std::string& relative) {
    return ReadText(SourcePath(relative));
}

// A 150 A film on a silicon-like substrate, Cu K-alpha, in delta and beta, smeared by
// the instrument's resolution.
inline api::Sample FilmSample() {
    api::Sample sample;
    sample.Wavelength = 1.5406;
    sample.WavelengthSpread = 0.0004;
    sample.ResolutionOffset1 = 0.004;
    sample.ResolutionOffset2 = 0.05;
    sample.TopLayerCount = 1;
    sample.Layers = {{150.0, 1.5e-5, 2e-7, 4.0}, {0.0, 7.6e-6, 1.7e-7, 3.0}};
    return sample;
}

// Thickness, density and roughness of the film fitted to the film's own curve (3 %
// weights) from a start off it, by the Parratt recursion; searches are short.
inline api::FitProblem FilmProblem() {
    api::FitProblem problem;
    const api::Sample truth = FilmSample();
    problem.Data =
        api::Simulate(truth, AngleGrid(0.1, 2.0, 79), api::CalculationMethod::Parratt).Smeared;
    problem.Model = truth;
    problem.Model.Layers[0] = {130.0, 1.3e-5, 2e-7, 6.5};
    problem.Method = api::CalculationMethod::Parratt;
    problem.Weights = api::Weighting::Fraction;
    problem.MaxIterations = 60;
    problem.Tolerance = 1e-8;
    problem.Bounds.Parameters = {{100, 200, 10}, {1e-5, 2e-5, 10}, {2e-7, 2e-7, 0}, {1, 9, 10},
                                 {0, 0, 0},      {0, 0, 0},        {0, 0, 0},       {0, 0, 0}};
    problem.DataFileName = "film.dat";
    problem.ModelFileName = "film.mdl";
    problem.LimitsFileName = "film.lmt";
    return problem;
}

inline api::FitControl SeededControl(std::uint64_t seed) {
    api::FitControl control;
    control.Seed = seed;
    control.MaxRespreads = 2;
    return control;
}

// The fits of scripts/golden-run: the command file, korvel-cli's options as read
// options and fit control, and the folder of the stored results.
struct GoldenFit {
    std::string CommandFile;  // from the project's root
    api::ReadOptions Options;
    api::FitControl Control;
    std::string Expected;  // tests/golden/expected/<case>/<model stem>
};

inline std::vector<GoldenFit> GoldenFits() {
    std::vector<GoldenFit> fits(4);
    fits[0].CommandFile = "examples/demo/demo.inp";  // --seed 1 --newton --uncertainty
    fits[0].Control.Seed = 1;
    fits[0].Control.NewtonStep = true;
    fits[0].Control.Uncertainty = true;
    fits[0].Expected = "tests/golden/expected/fit-demo/au-film-start";

    // --seed 7 --repeat-unit-fixed --weights fresnel --newton
    fits[1].CommandFile = "tests/golden/inputs/ml-fresnel.inp";
    fits[1].Options.RepeatUnitFixed = true;
    fits[1].Options.Weights = api::Weighting::Fresnel;
    fits[1].Control.Seed = 7;
    fits[1].Control.NewtonStep = true;
    fits[1].Expected = "tests/golden/expected/fit-ml-fresnel/ml-start";

    // --seed 8 --weights fraction:0.05 --uncertainty
    fits[2].CommandFile = "tests/golden/inputs/ml-fraction.inp";
    fits[2].Options.Weights = api::Weighting::Fraction;
    fits[2].Options.ErrorFraction = 0.05;
    fits[2].Control.Seed = 8;
    fits[2].Control.Uncertainty = true;
    fits[2].Expected = "tests/golden/expected/fit-ml-fraction/ml-start";

    // --seed 9 --qz --density-units 1 --newton --uncertainty
    fits[3].CommandFile = "tests/golden/inputs/ni.inp";
    fits[3].Options.Qz = true;
    fits[3].Options.Units = api::DensityUnits::ScatteringLength;
    fits[3].Control.Seed = 9;
    fits[3].Control.NewtonStep = true;
    fits[3].Control.Uncertainty = true;
    fits[3].Expected = "tests/golden/expected/fit-neutron-qz/ni-start";
    return fits;
}

}  // namespace korvel::testing
