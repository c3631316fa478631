// Fits by a population search: a seed repeats them at any thread count, every method
// keeps the limits, links and a fixed repeat-unit length, a stop request ends the
// search with the best member polished, and the result files of such a fit are those
// of any fit (the program reads the fitted model back).

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "FitTestSupport.h"
#include "SyntheticFitSupport.h"
#include "app/FittingRun.h"
#include "app/PosteriorRun.h"
#include "app/Workspace.h"
#include "fit/GlobalFit.h"
#include "fit/PopulationSearch.h"
#include "input/ModelReader.h"

namespace korvel {
namespace {

using testing::ReadText;
using testing::ScriptedRunInterface;
using testing::TemporaryDirectory;
using testing::WriteText;
using namespace testing::synthetic;

constexpr SearchMethod kPopulationMethods[] = {
    SearchMethod::SelfAdaptiveDe, SearchMethod::DeRand1Bin, SearchMethod::DeBest1Bin,
    SearchMethod::DeCurrentToBest1Bin, SearchMethod::CmaEs, SearchMethod::ParticleSwarm};

LayerModel ReadFittedModel() {
    ReadWarnings warnings;
    return ParseModel(ReadText("model.bst"), "model.bst", 0, warnings);
}

Workspace SearchWorkspace(SearchMethod method, unsigned threads, int population = 12,
                          int generations = 15) {
    Workspace ws = NewWorkspace(77);
    ws.Options.Threads = threads;
    ws.Options.Search.Method = method;
    ws.Options.Search.Population = population;
    ws.Options.Search.Generations = generations;
    return ws;
}

// The film of the fitting-run tests: true curve as data, a wrong start.
class GlobalFilmFit : public ::testing::Test {
  protected:
    void SetUp() override {
        PrepareFit(kFilmModel, kFilmLimits, {150.0, 1.5e-5, 4.0}, {120.0, 1.0e-5, 8.0},
                   Range(0.1, 2.0, 40));
        WriteCommandFile(command);
    }
    TemporaryDirectory directory;
    CommandFile command;
};

TEST_F(GlobalFilmFit, TheSameSeedGivesTheSameResultFilesOnOneAndTwoThreads) {
    for (const SearchMethod method : kPopulationMethods) {
        std::string files[2];
        for (unsigned threads : {1u, 2u}) {
            Workspace ws = SearchWorkspace(method, threads);
            ScriptedRunInterface ui;
            RunFitting(ws, ui);
            files[threads - 1] =
                ReadText("model.bst") + ReadText("model.pct") + ReadText("model.loc");
        }
        EXPECT_EQ(files[0], files[1]) << SearchMethodName(method);
    }
}

TEST_F(GlobalFilmFit, DifferentialEvolutionFindsTheTrueFilmAndTheProgramReadsItBack) {
    Workspace ws = SearchWorkspace(SearchMethod::SelfAdaptiveDe, 2, 20, 60);
    ScriptedRunInterface ui;
    RunFitting(ws, ui);
    EXPECT_GT(ws.SearchSummary.Generations, 0);
    EXPECT_GE(ws.SearchSummary.PolishingRuns, 1);
    EXPECT_LT(ws.Fit.BestMerit, 1e-6);

    // The .loc holds one line per polishing run; the .bst starts with the fitted model,
    // which the model reader takes as it takes any model.
    const std::string loc = ReadText("model.loc");
    EXPECT_EQ(static_cast<int>(std::count(loc.begin(), loc.end(), '\n')),
              ws.SearchSummary.PolishingRuns);
    const LayerModel fitted = ReadFittedModel();
    EXPECT_NEAR(fitted.Value(1), 150.0, 1e-3);
    EXPECT_NEAR(fitted.Value(2), 1.5e-5, 1e-10);
    EXPECT_NEAR(fitted.Value(4), 4.0, 1e-3);
}

TEST_F(GlobalFilmFit, CtrlQBetweenGenerationsEndsTheSearchAndPolishesTheBestMember) {
    Workspace ws = SearchWorkspace(SearchMethod::SelfAdaptiveDe, 1, 12, 500);
    ScriptedRunInterface ui;
    ui.KeysAtEvaluationCheck[3] = kCtrlQ;  // after generation 2
    RunFitting(ws, ui);
    EXPECT_TRUE(ws.SearchSummary.Stopped);
    EXPECT_EQ(ws.SearchSummary.Generations, 2);
    EXPECT_GE(ws.SearchSummary.PolishingRuns, 1);
    EXPECT_LE(ws.Fit.BestMerit, ws.SearchSummary.SearchBestMerit);
    EXPECT_FALSE(ReadText("model.loc").empty());
    EXPECT_FALSE(ReadText("model.bst").empty());
}

TEST_F(GlobalFilmFit, ThePosteriorIsSampledAroundTheFitAndItsChainWrittenBesideTheModel) {
    // Data with 3 % errors that are not noise: the posterior is narrow around the truth.
    Workspace ws = SearchWorkspace(SearchMethod::SelfAdaptiveDe, 2, 20, 60);
    ws.Options.Search.McmcSteps = 40;
    ScriptedRunInterface ui;
    RunFitting(ws, ui);
    FitStop stop;
    FitObserver quiet;
    const PosteriorSample sample = RunPosteriorSampling(ws, quiet, stop);
    ASSERT_EQ(sample.Parameters.size(), 3u);
    EXPECT_EQ(sample.Chain.Steps, 40);
    EXPECT_GT(sample.Acceptance, 0.05);
    EXPECT_TRUE(sample.ChainTooShort);  // 30 kept steps cannot hold 50 correlation times
    EXPECT_NEAR(sample.Parameters[0].Median, 150.0, 0.5);
    EXPECT_LE(sample.Parameters[0].Lower95, sample.Parameters[0].Lower68);
    EXPECT_LE(sample.Parameters[0].Lower68, sample.Parameters[0].Median);
    EXPECT_LE(sample.Parameters[0].Median, sample.Parameters[0].Upper68);
    const std::string chain = ReadText("model.mcmc.csv");
    EXPECT_EQ(chain.substr(0, chain.find('\n')),
              "step,walker,Thickness:1,ReDensity:1,Roughness:1,log_likelihood");
    EXPECT_EQ(static_cast<int>(std::count(chain.begin(), chain.end(), '\n')),
              1 + 40 * sample.Chain.Walkers);
}

// A cap over ten periods of a two-layer unit: the period is kept fixed, the second
// layer's roughness follows the first's.
const char* kCappedMultilayer =
    "1.5406 0 0 0 0 0\n"
    "1 2 0 10\n"
    "30 1.0e-5 5e-7 4\n"
    "12 4.5e-5 4e-6 3\n"
    "28 7.6e-6 1.7e-7 3\n"
    "0 7.6e-6 1.7e-7 3\n";
const char* kCappedLimits =
    "20 40 10\n0.5e-5 2e-5 10\n0 0 0\n1 8 10\n"
    "5 20 10\n0 0 0\n0 0 0\n1 6 10\n"
    "20 35 10\n0 0 0\n0 0 0\n1 6 -2\n"
    "0 0 0\n0 0 0\n0 0 0\n0 0 0\n";

TEST(GlobalFit, EveryMethodKeepsTheLimitsTheLinksAndTheFixedPeriod) {
    TemporaryDirectory directory;
    WriteText("model.lmt", kCappedLimits);
    WriteText("model.mdl", kCappedMultilayer);
    WriteSyntheticData(Range(0.2, 3.0, 30));
    CommandFile command;
    WriteCommandFile(command);
    for (const SearchMethod method : kPopulationMethods) {
        Workspace ws = SearchWorkspace(method, 2, 10, 6);
        ScriptedRunInterface ui;
        ui.EditCommandFileDialog = [](CommandFileDialogRecord& record) { record.RULength = 1; };
        RunFitting(ws, ui);
        ASSERT_TRUE(ws.Settings.RepeatUnitFixed);
        const LayerModel m = ReadFittedModel();
        const std::string name(SearchMethodName(method));
        EXPECT_NEAR(m.Value(5) + m.Value(9), 40.0, 1e-9) << name;      // the period
        EXPECT_EQ(ws.Model.Value(12), ws.Model.Value(8)) << name;        // the link
        EXPECT_GE(m.Value(1), 20.0) << name;
        EXPECT_LE(m.Value(1), 40.0) << name;
        EXPECT_GE(m.Value(2), 0.5e-5) << name;
        EXPECT_LE(m.Value(2), 2e-5) << name;
        EXPECT_GE(m.Value(4), 1.0) << name;
        EXPECT_LE(m.Value(4), 8.0) << name;
        EXPECT_GE(m.Value(8), 1.0) << name;
        EXPECT_LE(m.Value(8), 6.0) << name;
    }
}

TEST(PopulationSearch, EveryMethodProposesMembersInsideTheUnitCubeOnly) {
    for (const SearchMethod method : kPopulationMethods) {
        PopulationSettings settings;
        settings.Method = method;
        settings.Population = 10;
        settings.Generations = 30;
        settings.Seed = 5;
        bool inside = true;
        const BatchObjective edge = [&](const Population& members, std::vector<double>& merits) {
            merits.clear();
            for (const auto& x : members) {
                for (double v : x) inside = inside && v >= 0.0 && v <= 1.0;
                // Lowest in a corner: the search presses against the bounds.
                merits.push_back(1.0 + std::abs(x[0] + 0.5) + std::abs(x[1] - 1.5));
            }
        };
        const PopulationResult result = RunPopulationSearch(2, settings, edge, {});
        EXPECT_TRUE(inside) << SearchMethodName(method);
        EXPECT_LT(result.BestMerit, 3.2) << SearchMethodName(method);
    }
}

TEST(PopulationSearch, DifferentialEvolutionMinimisesAShiftedSphere) {
    for (const SearchMethod method : {SearchMethod::SelfAdaptiveDe, SearchMethod::DeBest1Bin}) {
        PopulationSettings settings;
        settings.Method = method;
        settings.Population = 20;
        settings.Generations = 400;
        settings.Seed = 9;
        const BatchObjective sphere = [](const Population& members, std::vector<double>& merits) {
            merits.clear();
            for (const auto& x : members) {
                double sum = 1.0;
                for (double v : x) sum += (v - 0.3) * (v - 0.3);
                merits.push_back(sum);
            }
        };
        int generations = 0;
        const PopulationResult result =
            RunPopulationSearch(4, settings, sphere, [&](const GenerationReport& report) {
                EXPECT_EQ(report.Generation, generations++);
                EXPECT_LE(report.BestMerit, report.MedianMerit);
                return false;
            });
        EXPECT_TRUE(result.Converged);
        for (double v : result.BestMember) EXPECT_NEAR(v, 0.3, 1e-2);
    }
}

}  // namespace
}  // namespace korvel
