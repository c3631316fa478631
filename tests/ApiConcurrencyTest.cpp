// Library calls at once on separate threads share nothing: four fits with different
// seeds give exactly what the same fits give one after another, simulations likewise,
// and a call computes on its own thread unless asked for more.

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "ApiTestSupport.h"

namespace korvel {
namespace {

struct Outcome {
    std::string Bst;
    std::string Pct;
    std::string Loc;
    std::uint64_t Evaluations = 0;
    std::vector<double> Values;
    std::vector<double> Uncertainties;
};

Outcome OutcomeOf(const api::FitResult& result) {
    Outcome outcome{result.BstText, result.PctText, result.LocText, result.Evaluations, {}, {}};
    for (const api::FittedParameter& p : result.Parameters) {
        outcome.Values.push_back(p.Value);
        outcome.Uncertainties.push_back(p.Uncertainty.value_or(-1.0));
    }
    return outcome;
}

void ExpectSame(const Outcome& a, const Outcome& b) {
    EXPECT_EQ(a.Bst, b.Bst);
    EXPECT_EQ(a.Pct, b.Pct);
    EXPECT_EQ(a.Loc, b.Loc);
    EXPECT_EQ(a.Evaluations, b.Evaluations);
    EXPECT_EQ(a.Values, b.Values);
    EXPECT_EQ(a.Uncertainties, b.Uncertainties);
}

api::FitControl ControlWithSeed(std::uint64_t seed) {
    api::FitControl control = testing::SeededControl(seed);
    control.NewtonStep = true;
    control.Uncertainty = true;
    return control;
}

TEST(ApiConcurrency, FourFitsAtOnceGiveWhatTheyGiveOneAfterAnother) {
    const api::FitProblem problem = testing::FilmProblem();
    constexpr int kFits = 4;
    std::vector<Outcome> sequential;
    for (int i = 0; i < kFits; ++i)
        sequential.push_back(OutcomeOf(api::Fit(problem, ControlWithSeed(11 + i))));
    // Different seeds search differently: the comparison below can tell the fits apart.
    EXPECT_NE(sequential[0].Loc, sequential[1].Loc);

    std::vector<Outcome> parallel(kFits);
    std::vector<std::string> errors(kFits);
    std::vector<std::thread> threads;
    for (int i = 0; i < kFits; ++i)
        threads.emplace_back([&, i] {
            try {
                parallel[i] = OutcomeOf(api::Fit(problem, ControlWithSeed(11 + i)));
            } catch (const std::exception& e) {
                errors[i] = e.what();
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < kFits; ++i) {
        SCOPED_TRACE("seed " + std::to_string(11 + i));
        EXPECT_EQ(errors[i], "");
        ExpectSame(parallel[i], sequential[i]);
    }
}

TEST(ApiConcurrency, SimulationsAtOnceGiveWhatTheyGiveOneAfterAnother) {
    const api::Sample film = testing::FilmSample();
    const std::vector<double> theta = testing::AngleGrid(0.05, 4.0, 1999);
    const api::CalculationMethod methods[] = {
        api::CalculationMethod::Fourier, api::CalculationMethod::Parratt,
        api::CalculationMethod::Matrix, api::CalculationMethod::Parratt};
    std::vector<std::string> sequential;
    for (api::CalculationMethod method : methods)
        sequential.push_back(api::FormatSml(api::Simulate(film, theta, method)));
    std::vector<std::string> parallel(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int repeat = 0; repeat < 5; ++repeat)
                parallel[i] = api::FormatSml(api::Simulate(film, theta, methods[i]));
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(parallel, sequential);
}

int ThreadsOfThisProcess() {
    int count = 0;
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(tasks)) count += entry->d_name[0] != '.';
        ::closedir(tasks);
    }
    return count;
}

// P fits in parallel must not start P times the processors' threads: a call computes on
// the thread that made it, unless its control asks for engine threads.
TEST(ApiConcurrency, AFitComputesOnItsOwnThreadUnlessAskedForMore) {
    const int before = ThreadsOfThisProcess();
    api::FitProblem problem = testing::FilmProblem();
    problem.Data = api::Simulate(testing::FilmSample(), testing::AngleGrid(0.1, 4.0, 3999)).Smeared;
    int most = 0;
    api::FitControl control = testing::SeededControl(3);
    control.OnProgress = [&](const api::Progress&) {
        most = std::max(most, ThreadsOfThisProcess());
    };
    api::Fit(problem, control);
    EXPECT_EQ(most, before);

    // Asked for, the engine's threads share the evaluations of a long curve.
    control.Threads = 3;
    most = 0;
    const api::FitResult threaded = api::Fit(problem, control);
    EXPECT_GT(most, before);
    EXPECT_EQ(threaded.BstText, api::Fit(problem, testing::SeededControl(3)).BstText);
}

}  // namespace
}  // namespace korvel
