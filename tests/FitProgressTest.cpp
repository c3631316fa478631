// A fit's typed progress, events and stop requests, on a session filled by hand (no
// file, no window): the reports come in the order of the run with consistent values,
// and a request to stop is honoured in every phase, meaning there what Ctrl+Q or
// Ctrl+X means in the desktop program.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "EngineTestModels.h"
#include "fit/CurveEvaluation.h"
#include "fit/FitProgress.h"
#include "fit/FitRun.h"
#include "fit/MachineEpsilon.h"
#include "fit/Simplex.h"

namespace korvel {
namespace {

using testing::AngleGrid;
using testing::MakeWorkspace;
using testing::SiliconLike;
using testing::TestSample;

const char* PhaseName(FitPhase phase) {
    static const char* const names[] = {"InitialSimplex",  "Search",     "Local",  "Tunnelling",
                                        "GlobalStep",      "Result",     "Newton", "NewtonGradient",
                                        "NewtonCurvature", "Uncertainty"};
    return names[static_cast<int>(phase)];
}

const char* KindName(ProgressKind kind) {
    static const char* const names[] = {"Started",       "Ended",           "BetweenEvaluations",
                                        "VertexStarted", "VertexEvaluated", "Iteration",
                                        "RunEnded",      "CountDown",       "Evaluated"};
    return names[static_cast<int>(kind)];
}

// A report as the test keeps it: the vertex copied, the text owned.
struct Report {
    FitProgress Record;
    std::string Text;
    std::vector<double> Vertex;
};

// Records every report and event; makes one stop request when the n-th report of a
// phase and kind arrives, as a window or a signal handler would.
class RecordingObserver : public FitObserver {
  public:
    explicit RecordingObserver(FitStop& stop) : stop_(stop) {}

    bool NewtonAnswer = false;
    bool UncertaintyAnswer = false;
    std::vector<Report> Reports;
    // Phase starts and ends, run ends, the result and every other event, in order.
    std::vector<std::string> Trace;
    std::vector<double> ModelAtSearchResult;  // the free parameters' values in the model
    double BestMeritAtSearchResult = 0.0;
    double VertexMeritAtSearchResult = 0.0;

    void StopAt(FitPhase phase, ProgressKind kind, int n, bool wholeSearch = true) {
        trigger_ = Trigger{phase, kind, n, wholeSearch};
    }
    // The reports of one phase and kind.
    std::vector<FitProgress> Of(FitPhase phase, ProgressKind kind) const {
        std::vector<FitProgress> found;
        for (const Report& r : Reports)
            if (r.Record.Phase == phase && r.Record.Kind == kind) found.push_back(r.Record);
        return found;
    }
    // Index in Trace of the first `name` at or after `from`; -1 if none.
    int Find(const std::string& name, int from = 0) const {
        for (int i = from; i < static_cast<int>(Trace.size()); ++i)
            if (Trace[i] == name) return i;
        return -1;
    }

    void OnProgress(const FitProgress& progress) override {
        Report report{progress,
                      std::string(progress.TerminationText),
                      {progress.BestVertex.begin(), progress.BestVertex.end()}};
        report.Record.TerminationText = {};
        report.Record.BestVertex = {};
        Reports.push_back(report);
        const ProgressKind kind = progress.Kind;
        if (kind == ProgressKind::Started || kind == ProgressKind::Ended ||
            kind == ProgressKind::RunEnded || kind == ProgressKind::Evaluated)
            Trace.push_back(std::string(PhaseName(progress.Phase)) + " " + KindName(kind));
        if (trigger_ && trigger_->Phase == progress.Phase && trigger_->Kind == kind &&
            --trigger_->Count == 0) {
            (trigger_->WholeSearch ? stop_.EndSearch : stop_.EndLocalRun) = true;
            trigger_.reset();
        }
    }
    void OnLocalRunEnded(const FitSession&) override { Trace.push_back("LocalRunEnded"); }
    void OnSearchResult(const FitSession& session) override {
        Trace.push_back("SearchResult");
        const int b = session.Fit.BestVertex - 1;
        for (int k = 1; k <= session.Free.FreeCount; ++k)
            ModelAtSearchResult.push_back(session.Model.Value(session.Free.ModelIndexOfFree(k)));
        BestMeritAtSearchResult = session.Fit.BestMerit;
        VertexMeritAtSearchResult = session.Free.VertexMerit[b];
    }
    void OnNewtonSection(const FitSession&, NewtonSection section, double) override {
        static const char* const names[] = {"NewtonPoint", "Midpoint", "Parabola",
                                            "OptimizedPoint"};
        Trace.push_back(std::string("NewtonSection ") + names[static_cast<int>(section)]);
    }
    void OnUncertainties(const FitSession&, std::span<const double> values,
                         std::span<const double> uncertainties) override {
        Trace.push_back("Uncertainties");
        EXPECT_EQ(values.size(), uncertainties.size());
    }
    bool DecideNewtonStep() override {
        Trace.push_back("DecideNewtonStep");
        return NewtonAnswer;
    }
    bool DecideUncertainty() override {
        Trace.push_back("DecideUncertainty");
        return UncertaintyAnswer;
    }

  private:
    struct Trigger {
        FitPhase Phase;
        ProgressKind Kind;
        int Count;
        bool WholeSearch;
    };
    FitStop& stop_;
    std::optional<Trigger> trigger_;
};

// A film's thickness, density and roughness fitted to the film's own curve from a
// start well off it: the session as the readers leave it, starting simplex included.
Workspace FilmFit() {
    TestSample sample;
    sample.Top = {{150.0, 1.5e-5, 2e-7, 4.0}};
    sample.Substrate = SiliconLike(3.0);
    Workspace ws = MakeWorkspace(sample, AngleGrid(0.1, 2.0, 60));
    ws.Settings.CalculationMode = 'P';
    ws.Fit.SkipFigureOfMerit = true;
    EvaluateCurve(ws, {});
    ws.Fit.SkipFigureOfMerit = false;
    for (int i = 0; i < ws.Curves.PointCount; ++i) {
        ws.Curves.MeasuredIntensity[i] = ws.Curves.SmearedCurve[i];
        ws.Curves.Uncertainty[i] = 0.03 * ws.Curves.SmearedCurve[i];
    }

    ws.Settings.FitMode = true;
    ws.Settings.MaxIterations = 40;
    ws.Settings.FitTolerance = 1e-8;
    ws.Options.MaxRespreads = 1;
    ws.Fit.MachineEpsilon = ComputeMachineEpsilon();
    for (int j : {1, 2, 4}) ws.Free.FreeFlags[j - 1] = true;
    ws.Free.FreeCount = 3;
    ws.Free.AllocateSimplex();
    ws.Free.VertexHoldsValues = false;
    ws.Free.FreeMid = {150.0, 1.5e-5, 5.0};
    ws.Free.FreeHalfRange = {50.0, 1e-5, 4.0};
    const std::vector<double> start{130.0, 1.3e-5, 6.5};
    for (int i = 0; i < ws.Free.VertexCount; ++i)
        for (int k = 0; k < 3; ++k) {
            const double value = start[k] * (i == k + 1 ? 1.05 : 1.0);
            ws.Free.Vertices[i][k] =
                -std::acos((value - ws.Free.FreeMid[k]) / ws.Free.FreeHalfRange[k]);
        }
    ws.Random.seed(17);
    return ws;
}

class FitProgressTest : public ::testing::Test {
  protected:
    void Run() { RunFit(ws, observer, stop); }
    Workspace ws = FilmFit();
    FitStop stop;
    RecordingObserver observer{stop};
};

TEST_F(FitProgressTest, ReportsThePhasesAndHandsOverTheResultsInTheOrderOfTheRun) {
    observer.NewtonAnswer = true;
    observer.UncertaintyAnswer = true;
    Run();
    const auto& trace = observer.Trace;
    const std::vector<std::string> start{"InitialSimplex Started", "InitialSimplex Ended",
                                         "Search Started", "Local RunEnded", "LocalRunEnded"};
    ASSERT_GE(trace.size(), start.size());
    EXPECT_TRUE(std::equal(start.begin(), start.end(), trace.begin()))
        << ::testing::PrintToString(trace);
    // Every local run's end is followed by its .loc moment.
    for (int i = observer.Find("Local RunEnded"); i >= 0;
         i = observer.Find("Local RunEnded", i + 1))
        EXPECT_EQ(trace.at(i + 1), "LocalRunEnded");

    const int end = observer.Find("Search Ended");
    ASSERT_GE(end, 0);
    const std::vector<std::string> result{"Search Ended",
                                          "Result Evaluated",
                                          "SearchResult",
                                          "DecideNewtonStep",
                                          "Newton Started",
                                          "NewtonGradient Started",
                                          "NewtonCurvature Started",
                                          "Newton Ended",
                                          "NewtonSection NewtonPoint"};
    ASSERT_GE(trace.size(), end + result.size());
    EXPECT_TRUE(std::equal(result.begin(), result.end(), trace.begin() + end))
        << ::testing::PrintToString(trace);
    const int uncertainty = observer.Find("DecideUncertainty", end);
    ASSERT_GE(uncertainty, 0);
    const std::vector<std::string> last{"DecideUncertainty", "Uncertainty Started", "Uncertainties",
                                        "Uncertainty Ended"};
    EXPECT_TRUE(std::equal(last.begin(), last.end(), trace.begin() + uncertainty));
    EXPECT_EQ(trace.size(), uncertainty + last.size()) << ::testing::PrintToString(trace);
}

TEST_F(FitProgressTest, ReportsConsistentCountsMeritsAndCountDowns) {
    observer.NewtonAnswer = true;
    observer.UncertaintyAnswer = true;
    Run();
    const auto& reports = observer.Reports;
    std::uint64_t previous = 0;
    for (const Report& r : reports) {
        EXPECT_GE(r.Record.Evaluations, previous);
        EXPECT_EQ(r.Record.Calls, static_cast<std::uint16_t>(r.Record.Evaluations));
        EXPECT_EQ(r.Record.Curves, &ws.Curves);
        previous = r.Record.Evaluations;
    }
    EXPECT_EQ(previous, ws.Fit.Evaluations);

    // The starting simplex counts its vertices down.
    const auto vertices = observer.Of(FitPhase::InitialSimplex, ProgressKind::VertexStarted);
    ASSERT_EQ(vertices.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(vertices[i].Remaining, 4 - i);
        EXPECT_EQ(vertices[i].Total, 4);
        EXPECT_EQ(vertices[i].Evaluations, static_cast<std::uint64_t>(i));
    }

    // Simplex iterations: their spread, a session best that follows the local runs
    // and never rises, iterations counted from 0 in each run.
    double sessionBest = INFINITY;
    int expectedIteration = 0;
    for (const Report& r : reports) {
        const FitProgress& p = r.Record;
        if (p.Phase != FitPhase::Local && p.Phase != FitPhase::Tunnelling) continue;
        if (p.Kind == ProgressKind::RunEnded) {
            EXPECT_EQ(r.Text.size(), 34u);
            const auto variant =
                p.Phase == FitPhase::Local ? SimplexVariant::Local : SimplexVariant::Tunnelling;
            EXPECT_EQ(r.Text, TerminationMessage(variant, p.Termination));
            expectedIteration = 0;
            continue;
        }
        ASSERT_EQ(p.Kind, ProgressKind::Iteration);
        EXPECT_EQ(p.Iteration, expectedIteration++);
        if (p.Iteration == 0) {
            EXPECT_TRUE(p.NewBest);
        }
        EXPECT_LE(p.BestMerit, p.WorstMerit);
        EXPECT_DOUBLE_EQ(p.Tolerance, 2.0 * std::fabs(p.WorstMerit - p.BestMerit) /
                                          (std::fabs(p.WorstMerit) + std::fabs(p.BestMerit)));
        EXPECT_EQ(r.Vertex.size(), 3u);
        if (p.Phase == FitPhase::Local) {
            EXPECT_EQ(p.SessionBest, p.BestMerit);
            EXPECT_LE(p.SessionBest, sessionBest);
            sessionBest = p.SessionBest;
        } else {
            EXPECT_EQ(p.SessionBest, sessionBest);  // tunnelling values are not merits
        }
    }
    EXPECT_LT(sessionBest, INFINITY);

    // The Newton step and the uncertainty estimate count their stages down.
    auto countDown = [&](FitPhase phase) {
        std::vector<int> left;
        for (const FitProgress& p : observer.Of(phase, ProgressKind::CountDown))
            left.push_back(p.Remaining);
        return left;
    };
    EXPECT_EQ(countDown(FitPhase::NewtonGradient), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(countDown(FitPhase::NewtonCurvature), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(countDown(FitPhase::Uncertainty), (std::vector<int>{3, 2, 1}));

    // The result: the best vertex as values, which the model holds when it is handed
    // over, with its own figure of merit.
    const auto result = std::find_if(reports.begin(), reports.end(), [](const Report& r) {
        return r.Record.Phase == FitPhase::Result;
    });
    ASSERT_NE(result, reports.end());
    EXPECT_EQ(result->Vertex, observer.ModelAtSearchResult);
    EXPECT_NEAR(result->Vertex[0], 150.0, 5.0);
    EXPECT_EQ(observer.BestMeritAtSearchResult, observer.VertexMeritAtSearchResult);
}

TEST_F(FitProgressTest, AStopInTheStartingSimplexEndsItBeforeTheNextVertexAndSkipsTheSearch) {
    // Made at the first check, before vertex 2; or already there when the fit starts,
    // as a signal handler may leave it.
    for (bool early : {false, true}) {
        SCOPED_TRACE(early ? "made before the fit" : "made at the first check");
        ws = FilmFit();
        observer.Reports.clear();
        observer.Trace.clear();
        observer.NewtonAnswer = true;
        if (early)
            stop.EndSearch = true;
        else
            observer.StopAt(FitPhase::InitialSimplex, ProgressKind::BetweenEvaluations, 1);
        Run();
        EXPECT_EQ(observer.Of(FitPhase::InitialSimplex, ProgressKind::VertexStarted).size(), 1u);
        EXPECT_EQ(ws.Fit.Evaluations, 2u);  // vertex 1, then the result
        EXPECT_EQ(ws.Fit.BestVertex, 1);
        EXPECT_EQ(observer.Find("Search Started"), -1);
        EXPECT_EQ(observer.Find("DecideNewtonStep"), -1);  // nothing was searched
        EXPECT_NE(observer.Find("SearchResult"), -1);
        EXPECT_FALSE(stop.EndSearch);  // taken back
    }
}

// Ctrl+Q in a local run ends the whole search: the run ends with its own code and the
// global step only puts the reference back (one evaluation). Ctrl+X ends the run
// alone: the global step climbs out of the minimum.
TEST_F(FitProgressTest, AStopInALocalRunEndsTheSearchOrOnlyThatRun) {
    struct Case {
        bool WholeSearch;
        int Code;
    };
    for (const Case c : {Case{true, kLocalFullStop}, Case{false, kCanceledByUser}}) {
        SCOPED_TRACE(c.WholeSearch ? "end the search" : "end the run");
        ws = FilmFit();
        observer.Reports.clear();
        observer.Trace.clear();
        observer.StopAt(FitPhase::Local, ProgressKind::Iteration, 3, c.WholeSearch);
        Run();
        const auto ended = observer.Of(FitPhase::Local, ProgressKind::RunEnded);
        ASSERT_FALSE(ended.empty());
        EXPECT_EQ(ended[0].Termination, c.Code);
        EXPECT_EQ(ended[0].Iteration, 2);
        const int runEnd = observer.Find("LocalRunEnded");
        const int searchEnd = observer.Find("Search Ended");
        ASSERT_GE(runEnd, 0);
        ASSERT_GT(searchEnd, runEnd);
        // Evaluations between the end of the first run and the next report.
        const auto firstEnd =
            std::find_if(observer.Reports.begin(), observer.Reports.end(), [](const Report& r) {
                return r.Record.Phase == FitPhase::Local && r.Record.Kind == ProgressKind::RunEnded;
            });
        const std::uint64_t after =
            (firstEnd + 1)->Record.Evaluations - firstEnd->Record.Evaluations;
        if (c.WholeSearch) {
            EXPECT_EQ(after, 1u);
            EXPECT_EQ(searchEnd, runEnd + 1);  // no further run
        } else {
            EXPECT_GT(after, 1u);
        }
        EXPECT_FALSE(stop.EndSearch);
        EXPECT_FALSE(stop.EndLocalRun);
    }
}

TEST_F(FitProgressTest, AStopInATunnellingRunEndsTheSearchAtTheReferencePoint) {
    observer.StopAt(FitPhase::Tunnelling, ProgressKind::Iteration, 1);
    Run();
    const auto ended = observer.Of(FitPhase::Tunnelling, ProgressKind::RunEnded);
    ASSERT_EQ(ended.size(), 1u) << "the film fit reaches no tunnelling run";
    EXPECT_EQ(ended[0].Termination, kTunnellingFullStop);
    // No local run after it; the search's result is the last local minimum.
    const int tunnelEnd = observer.Find("Tunnelling RunEnded");
    EXPECT_EQ(observer.Find("Local RunEnded", tunnelEnd), -1);
    const auto local = observer.Of(FitPhase::Local, ProgressKind::RunEnded);
    ASSERT_FALSE(local.empty());
    EXPECT_EQ(ws.Fit.BestMerit, local.back().BestMerit);
}

// A stop between two evaluations of the Newton step leaves the search result as it
// was and adds no section; the uncertainty estimate is still asked for and made.
TEST_F(FitProgressTest, AStopInEitherStageOfTheNewtonStepKeepsTheSearchResult) {
    for (FitPhase phase : {FitPhase::NewtonGradient, FitPhase::NewtonCurvature}) {
        SCOPED_TRACE(PhaseName(phase));
        ws = FilmFit();
        observer.Reports.clear();
        observer.Trace.clear();
        observer.NewtonAnswer = true;
        observer.UncertaintyAnswer = true;
        observer.StopAt(phase, ProgressKind::BetweenEvaluations, 2);
        Run();
        EXPECT_EQ(observer.Of(phase, ProgressKind::BetweenEvaluations).size(), 2u);
        EXPECT_EQ(observer.Find("NewtonSection NewtonPoint"), -1);
        EXPECT_NE(observer.Find("Newton Ended"), -1);
        EXPECT_NE(observer.Find("Uncertainties"), -1);
        const auto result =
            std::find_if(observer.Reports.begin(), observer.Reports.end(),
                         [](const Report& r) { return r.Record.Phase == FitPhase::Result; });
        ASSERT_NE(result, observer.Reports.end());
        EXPECT_EQ(ws.Free.Vertices[ws.Fit.BestVertex - 1], result->Vertex);
    }
}

TEST_F(FitProgressTest, AStopInTheUncertaintyEstimateHandsOverNoUncertainties) {
    observer.UncertaintyAnswer = true;
    observer.StopAt(FitPhase::Uncertainty, ProgressKind::BetweenEvaluations, 3);
    Run();
    EXPECT_EQ(observer.Of(FitPhase::Uncertainty, ProgressKind::BetweenEvaluations).size(), 3u);
    EXPECT_EQ(observer.Find("Uncertainties"), -1);
    EXPECT_EQ(observer.Trace.back(), "Uncertainty Ended");
    EXPECT_FALSE(ws.Fit.SkipFigureOfMerit);
}

// Ctrl+X between two evaluations of the starting simplex is not a stop there: it
// waits for the first simplex run, which it ends at once.
TEST_F(FitProgressTest, ARequestToEndARunWaitsForTheFirstRun) {
    observer.StopAt(FitPhase::InitialSimplex, ProgressKind::BetweenEvaluations, 1, false);
    Run();
    EXPECT_EQ(observer.Of(FitPhase::InitialSimplex, ProgressKind::VertexEvaluated).size(), 4u);
    const auto ended = observer.Of(FitPhase::Local, ProgressKind::RunEnded);
    ASSERT_FALSE(ended.empty());
    EXPECT_EQ(ended[0].Termination, kCanceledByUser);
    EXPECT_EQ(ended[0].Iteration, 0);
    EXPECT_FALSE(stop.EndLocalRun);
}

}  // namespace
}  // namespace korvel
