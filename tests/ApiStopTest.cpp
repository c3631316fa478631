// Stop requests to a library fit, made from the progress callback or from another
// thread, honoured in every phase that reads them: the search, the starting simplex,
// the Newton step and the uncertainty estimate. A stopped fit still returns the
// results of the best model so far, and says whether a stop ended it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ApiTestSupport.h"

namespace korvel {
namespace {

using api::ProgressEvent;
using api::ProgressPhase;

enum class Source { Callback, OtherThread };

// Runs a fit, recording its reports; at the n-th report of a phase and event a stop is
// requested, by the callback itself or by a thread of its own that the callback waits
// for (so that the request arrives inside that phase, at a known moment).
class StoppedFit {
  public:
    struct Trigger {
        ProgressPhase Phase;
        ProgressEvent Event;
        int Count = 1;
        bool EndSearch = true;  // else: end the local run
    };

    StoppedFit(api::FitProblem problem, api::FitControl control)
        : problem_(std::move(problem)), control_(std::move(control)) {
        control_.Stop = std::make_shared<api::StopRequest>();
    }

    std::vector<api::Progress> Reports;

    api::FitResult Run(std::optional<Trigger> trigger, Source source) {
        control_.OnProgress = [&](const api::Progress& progress) {
            Reports.push_back(progress);
            if (!trigger || progress.Phase != trigger->Phase || progress.Event != trigger->Event ||
                --trigger->Count != 0)
                return;
            const auto request = [stop = control_.Stop, endSearch = trigger->EndSearch] {
                endSearch ? stop->EndSearch() : stop->EndLocalRun();
            };
            if (source == Source::OtherThread)
                std::thread(request).join();
            else
                request();
        };
        return api::Fit(problem_, control_);
    }

    // The reports of one phase and event.
    int Count(ProgressPhase phase, ProgressEvent event) const {
        int n = 0;
        for (const api::Progress& p : Reports) n += p.Phase == phase && p.Event == event;
        return n;
    }

  private:
    api::FitProblem problem_;
    api::FitControl control_;
};

std::size_t Lines(const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++n;
    return n;
}

api::FitControl NewtonAndUncertainty() {
    api::FitControl control = testing::SeededControl(5);
    control.NewtonStep = true;
    control.Uncertainty = true;
    return control;
}

class ApiStop : public ::testing::TestWithParam<Source> {};

TEST_P(ApiStop, EndsTheSearchAtTheIterationItArrivesAndStartsNoLaterPhase) {
    StoppedFit fit(testing::FilmProblem(), NewtonAndUncertainty());
    const api::FitResult result =
        fit.Run(StoppedFit::Trigger{ProgressPhase::Local, ProgressEvent::Iteration, 4}, GetParam());
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(result.Termination, "Full stop by user.");
    // Read right after the fourth iteration's report: the run ended there.
    EXPECT_EQ(fit.Count(ProgressPhase::Local, ProgressEvent::Iteration), 4);
    EXPECT_EQ(fit.Count(ProgressPhase::Tunnelling, ProgressEvent::Iteration), 0);
    EXPECT_EQ(fit.Count(ProgressPhase::Newton, ProgressEvent::Started), 0);
    EXPECT_EQ(fit.Count(ProgressPhase::Uncertainty, ProgressEvent::Started), 0);
    // The results of the best model so far, with the one local run's .loc line.
    EXPECT_EQ(Lines(result.LocText), 1u);
    EXPECT_NE(result.BstText.find("Norma"), std::string::npos);
    EXPECT_EQ(result.BstText.find("Neuton"), std::string::npos);
    ASSERT_EQ(result.Parameters.size(), 3u);
    EXPECT_FALSE(result.Parameters[0].Uncertainty);
}

TEST_P(ApiStop, EndsTheStartingSimplexBeforeItsNextVertex) {
    StoppedFit fit(testing::FilmProblem(), NewtonAndUncertainty());
    const api::FitResult result = fit.Run(
        StoppedFit::Trigger{ProgressPhase::InitialSimplex, ProgressEvent::VertexEvaluated, 2},
        GetParam());
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(fit.Count(ProgressPhase::InitialSimplex, ProgressEvent::VertexEvaluated), 2);
    EXPECT_EQ(fit.Count(ProgressPhase::Search, ProgressEvent::Started), 0);
    // Two vertices, then the better of them once more for the result.
    EXPECT_EQ(result.Evaluations, 3u);
    EXPECT_TRUE(result.LocText.empty());
    EXPECT_TRUE(result.Termination.empty());
    EXPECT_FALSE(result.PctText.empty());
}

TEST_P(ApiStop, EndsTheNewtonStepWhichThenAddsNothing) {
    const api::FitProblem problem = testing::FilmProblem();
    const api::FitResult searched = api::Fit(problem, testing::SeededControl(5));
    StoppedFit fit(problem, NewtonAndUncertainty());
    const api::FitResult result =
        fit.Run(StoppedFit::Trigger{ProgressPhase::NewtonGradient, ProgressEvent::CountDown, 2},
                GetParam());
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(fit.Count(ProgressPhase::Newton, ProgressEvent::Ended), 1);
    EXPECT_EQ(fit.Count(ProgressPhase::NewtonCurvature, ProgressEvent::Started), 0);
    EXPECT_EQ(fit.Count(ProgressPhase::Uncertainty, ProgressEvent::Started), 0);
    // The search's result stands, as a fit without the Newton step gives it.
    EXPECT_EQ(result.BstText, searched.BstText);
    EXPECT_EQ(result.Fitted.Layers[0].Thickness, searched.Fitted.Layers[0].Thickness);
    EXPECT_EQ(result.ReducedChiSquare, searched.ReducedChiSquare);
}

TEST_P(ApiStop, EndsTheUncertaintyEstimateWhichThenAddsNoTable) {
    const api::FitProblem problem = testing::FilmProblem();
    const api::FitResult searched = api::Fit(problem, testing::SeededControl(5));
    api::FitControl control = testing::SeededControl(5);
    control.Uncertainty = true;
    StoppedFit fit(problem, control);
    const api::FitResult result = fit.Run(
        StoppedFit::Trigger{ProgressPhase::Uncertainty, ProgressEvent::CountDown, 2}, GetParam());
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(fit.Count(ProgressPhase::Uncertainty, ProgressEvent::Ended), 1);
    EXPECT_EQ(result.BstText, searched.BstText);
    for (const api::FittedParameter& p : result.Parameters) EXPECT_FALSE(p.Uncertainty) << p.Name;
}

TEST_P(ApiStop, EndsOnlyTheLocalRunWhenAskedAndTheSearchGoesOn) {
    StoppedFit fit(testing::FilmProblem(), testing::SeededControl(5));
    const api::FitResult result = fit.Run(
        StoppedFit::Trigger{ProgressPhase::Local, ProgressEvent::Iteration, 3, false}, GetParam());
    EXPECT_FALSE(result.Stopped);
    ASSERT_FALSE(fit.Reports.empty());
    std::string firstRunEnd;
    for (const api::Progress& p : fit.Reports)
        if (p.Phase == ProgressPhase::Local && p.Event == ProgressEvent::RunEnded) {
            firstRunEnd = p.Termination;
            break;
        }
    EXPECT_EQ(firstRunEnd, "Amoeba has been canceled by user.");
    EXPECT_GT(fit.Count(ProgressPhase::Tunnelling, ProgressEvent::Iteration), 0);
}

INSTANTIATE_TEST_SUITE_P(ApiStopSources, ApiStop,
                         ::testing::Values(Source::Callback, Source::OtherThread),
                         [](const ::testing::TestParamInfo<Source>& info) {
                             return info.param == Source::Callback ? "Callback" : "OtherThread";
                         });

TEST(ApiStopRequest, MadeBeforeTheFitEndsItAtItsFirstChance) {
    const auto stop = std::make_shared<api::StopRequest>();
    stop->EndSearch();
    api::FitControl control = testing::SeededControl(5);
    control.Stop = stop;
    const api::FitResult result = api::Fit(testing::FilmProblem(), control);
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(result.Evaluations, 2u);  // the first vertex, and it once more as the result

    // Taken back, the same request lets the next fit run to its end.
    stop->Reset();
    const api::FitResult whole = api::Fit(testing::FilmProblem(), control);
    EXPECT_FALSE(whole.Stopped);
    EXPECT_GT(whole.Evaluations, 100u);
}

// A request that no phase reads any more ends nothing: the fit is whole.
TEST(ApiStopRequest, MadeAfterTheLastPhaseDoesNotMarkTheFitStopped) {
    StoppedFit fit(testing::FilmProblem(), testing::SeededControl(5));
    const api::FitResult stopped = fit.Run(
        StoppedFit::Trigger{ProgressPhase::Result, ProgressEvent::Evaluated}, Source::Callback);
    const api::FitResult whole = api::Fit(testing::FilmProblem(), testing::SeededControl(5));
    EXPECT_FALSE(stopped.Stopped);
    EXPECT_EQ(stopped.BstText, whole.BstText);
}

// A search that no tolerance ends (it runs for seconds), stopped from another thread
// while the fit never waits for it.
TEST(ApiStopRequest, EndsALongSearchFromAnotherThreadAtAnyMoment) {
    api::FitProblem problem = testing::FilmProblem();
    problem.Tolerance = -1.0;  // never attained
    problem.MaxIterations = 65535;
    api::FitControl control = testing::SeededControl(5);
    control.MaxRespreads = -1;
    control.Stop = std::make_shared<api::StopRequest>();
    const auto start = std::chrono::steady_clock::now();
    std::atomic<int> iterations{0};
    control.OnProgress = [&](const api::Progress& progress) {
        if (progress.Event == ProgressEvent::Iteration) ++iterations;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60))
            throw std::runtime_error("the fit was not stopped");
    };
    std::atomic<bool> done{false};
    std::thread requester([&] {
        while (iterations < 200 && !done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        control.Stop->EndSearch();
    });
    api::FitResult result;
    try {
        result = api::Fit(problem, control);
    } catch (...) {
        done = true;
        requester.join();
        throw;
    }
    done = true;
    requester.join();
    EXPECT_GE(iterations, 200);
    EXPECT_TRUE(result.Stopped);
    EXPECT_EQ(result.Termination, "Full stop by user.");
}

}  // namespace
}  // namespace korvel
