// The global step by tunnelling, on figures of merit of one or two angles.

#include <gtest/gtest.h>

#include <cmath>

#include "FitTestSupport.h"
#include "ScriptedRunInterface.h"
#include "fit/GlobalSearch.h"
#include "fit/MachineEpsilon.h"
#include "fit/Simplex.h"

namespace korvel {
namespace {

using testing::ScriptedRunInterface;
using testing::SimplexWorkspace;

// Two wells in p = cos(u): a shallow one near p = 0.7 and the deepest near p = -0.7.
struct DoubleWell {
    int Calls = 0;
    double operator()(std::span<const double> v) {
        ++Calls;
        const double p = std::cos(v[0]);
        return (p * p - 0.49) * (p * p - 0.49) + 0.05 * (p + 0.7) * (p + 0.7) + 0.01;
    }
};

// One bowl in p = cos(u) with its bottom at p = 0.2.
struct SingleWell {
    int Calls = 0;
    double operator()(std::span<const double> v) {
        ++Calls;
        const double p = std::cos(v[0]);
        return (p - 0.2) * (p - 0.2) + 1.0;
    }
};

template <class F>
Workspace WorkspaceAt(std::vector<std::vector<double>> vertices, F& f) {
    Workspace ws = SimplexWorkspace(vertices);
    for (std::size_t i = 0; i < vertices.size(); ++i) ws.Free.VertexMerit[i] = f(vertices[i]);
    f.Calls = 0;
    ws.Fit.MachineEpsilon = ComputeMachineEpsilon();
    ws.Settings.MaxIterations = 200;
    ws.Settings.FitTolerance = 1e-8;
    ws.Random.seed(42);
    return ws;
}

TEST(GlobalSearch, LeavesTheShallowWellForTheDeepOne) {
    DoubleWell f;
    Workspace ws = WorkspaceAt({{-0.80}, {-0.75}}, f);
    ws.Options.MaxRespreads = 3;
    ScriptedRunInterface ui;
    int localRuns = 0;
    while (!ws.Fit.StopRequested && localRuns < 20) {
        RunSimplex(ws, ui, SimplexVariant::Local, std::ref(f));
        FoldAllVertices(ws.Free);
        ++localRuns;
        if (localRuns == 1) {
            EXPECT_GT(std::cos(ws.Free.Vertices[ws.Fit.BestVertex - 1][0]), 0.5);
        }
        GlobalSearchStep(ws, ui, std::ref(f));
        FoldAllVertices(ws.Free);
    }
    EXPECT_TRUE(ws.Fit.StopRequested);
    EXPECT_GE(localRuns, 2);
    const int b = ws.Fit.BestVertex - 1;
    EXPECT_LT(std::cos(ws.Free.Vertices[b][0]), -0.6);
    EXPECT_LT(ws.Free.VertexMerit[b], 0.011);
    EXPECT_NE(std::find(ui.Phases.begin(), ui.Phases.end(), "Descend"), ui.Phases.end());
}

TEST(GlobalSearch, HandsBackPlainFiguresOfMeritAfterASuccess) {
    DoubleWell f;
    Workspace ws = WorkspaceAt({{-0.80}, {-0.75}}, f);
    ScriptedRunInterface ui;
    RunSimplex(ws, ui, SimplexVariant::Local, std::ref(f));
    FoldAllVertices(ws.Free);
    const double localBest = ws.Free.VertexMerit[ws.Fit.BestVertex - 1];
    GlobalSearchStep(ws, ui, std::ref(f));
    ASSERT_FALSE(ws.Fit.StopRequested);
    for (int i = 0; i < ws.Free.VertexCount; ++i)
        EXPECT_DOUBLE_EQ(ws.Free.VertexMerit[i], f(ws.Free.Vertices[i])) << i;
    EXPECT_LT(ws.Free.VertexMerit[ws.Fit.BestVertex - 1], 0.999999 * localBest);
}

TEST(GlobalSearch, GivesUpAtTheOnlyMinimumAndRestoresTheReferencePoint) {
    SingleWell f;
    Workspace ws = WorkspaceAt({{-1.2}, {-1.1}}, f);
    ws.Settings.MaxIterations = 30;
    ws.Options.MaxRespreads = 0;
    ScriptedRunInterface ui;
    RunSimplex(ws, ui, SimplexVariant::Local, std::ref(f));
    FoldAllVertices(ws.Free);
    const int b = ws.Fit.BestVertex - 1;
    const std::vector<double> reference = ws.Free.Vertices[b];
    const double referenceMerit = ws.Free.VertexMerit[b];
    GlobalSearchStep(ws, ui, std::ref(f));
    EXPECT_TRUE(ws.Fit.StopRequested);
    EXPECT_EQ(ws.Free.Vertices[ws.Fit.BestVertex - 1], reference);
    EXPECT_EQ(ws.Free.VertexMerit[ws.Fit.BestVertex - 1], referenceMerit);
    EXPECT_FALSE(ui.TermMessages.empty());
}

TEST(GlobalSearch, AStopRequestedBeforehandOnlyReEvaluatesTheReference) {
    SingleWell f;
    Workspace ws = WorkspaceAt({{-1.2}, {-1.1}}, f);
    ws.Fit.StopRequested = true;
    ws.Fit.BestVertex = 2;
    ScriptedRunInterface ui;
    GlobalSearchStep(ws, ui, std::ref(f));
    EXPECT_EQ(f.Calls, 1);
    EXPECT_EQ(ws.Free.Vertices[1], std::vector<double>{-1.1});
    EXPECT_EQ(ws.Fit.ReferencePoint, (std::vector<double>{-1.1, ws.Free.VertexMerit[1]}));
}

TEST(GlobalSearch, GivesUpWhenNoVertexRisesAboveTheReference) {
    int calls = 0;
    auto flat = [&calls](std::span<const double>) {
        ++calls;
        return 3.0;
    };
    Workspace ws = SimplexWorkspace({{-1.0, -2.0}, {-1.5, -2.0}, {-1.0, -2.5}});
    ws.Free.VertexMerit = {3.0, 3.0, 3.0};
    ScriptedRunInterface ui;
    GlobalSearchStep(ws, ui, flat);
    EXPECT_TRUE(ws.Fit.StopRequested);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ui.Iterations, 0);
}

TEST(GlobalSearch, GivesUpWhenTheClimbReachesALevelPlateau) {
    int calls = 0;
    auto plateau = [&calls](std::span<const double> v) {
        ++calls;
        return std::min(v[0] + 1.2, 0.5);
    };
    Workspace ws = SimplexWorkspace({{-1.2}, {-1.1}});
    ws.Free.VertexMerit = {0.0, 0.1};
    ws.Fit.BestVertex = 1;
    ScriptedRunInterface ui;
    GlobalSearchStep(ws, ui, plateau);
    EXPECT_TRUE(ws.Fit.StopRequested);
    EXPECT_EQ(ws.Free.Vertices[0], std::vector<double>{-1.2});
    EXPECT_LT(calls, 2000);
    EXPECT_EQ(ui.Iterations, 0);
}

TEST(GlobalSearch, SaysSoWhenTheClimbGivesUpAtItsStepCap) {
    // Rising without end along the steepest edge: the crest is never passed.
    int calls = 0;
    auto slope = [&calls](std::span<const double> v) {
        ++calls;
        return v[0] + 10.0;
    };
    Workspace ws = SimplexWorkspace({{-1.2}, {-1.1}});
    ws.Free.VertexMerit = {8.8, 8.9};
    ws.Fit.BestVertex = 1;
    ScriptedRunInterface ui;
    GlobalSearchStep(ws, ui, slope);
    EXPECT_TRUE(ws.Fit.StopRequested);
    EXPECT_EQ(ws.Free.Vertices[0], std::vector<double>{-1.2});
    EXPECT_EQ(ui.TermMessages, std::vector<std::string>{"Climb step limit reached.         "});
    EXPECT_EQ(ui.FittingFields[FittingField::NIteration], "0");  // no curve evaluation here
    EXPECT_EQ(calls, 10000 + 1);
    EXPECT_EQ(ui.Iterations, 0);
}

TEST(GlobalSearch, SaysSoWhenItGivesUpAtTheReSpreadLimit) {
    // A ridge at distance 1 from the reference point at -1.2, then a plateau above the
    // target for ever: every tunnelling run flees outwards until a distance flag ends it,
    // and the step spreads anew, again and again.
    auto ridge = [](std::span<const double> v) {
        const double d = std::fabs(v[0] + 1.2);
        return d < 1.0 ? 1.0 + d : d < 2.0 ? 2.0 - 0.5 * (d - 1.0) : 1.5;
    };
    auto run = [&](int maxRespreads) {
        Workspace ws = SimplexWorkspace({{-1.2}, {-1.1}});
        ws.Free.VertexMerit = {1.0, 1.1};
        ws.Fit.BestVertex = 1;
        ws.Fit.MachineEpsilon = ComputeMachineEpsilon();
        ws.Settings.MaxIterations = 200;
        ws.Settings.FitTolerance = 1e-8;
        ws.Random.seed(42);
        ws.Options.MaxRespreads = maxRespreads;
        ScriptedRunInterface ui;
        GlobalSearchStep(ws, ui, ridge);
        EXPECT_TRUE(ws.Fit.StopRequested);
        EXPECT_EQ(ws.Free.Vertices[ws.Fit.BestVertex - 1], std::vector<double>{-1.2});
        return ui.TermMessages;
    };
    const auto bounded = run(2);
    ASSERT_EQ(bounded.size(), 4u);  // three tunnelling runs, then the step's own message
    EXPECT_EQ(bounded.back(), "Re-spread limit reached.          ");
    for (int i = 0; i < 3; ++i) EXPECT_NE(bounded[i], bounded.back());
    // The default bound ends it as well.
    const auto byDefault = run(RunOptions{}.MaxRespreads);
    EXPECT_EQ(byDefault.size(), static_cast<std::size_t>(kDefaultMaxRespreads + 2));
    EXPECT_EQ(byDefault.back(), "Re-spread limit reached.          ");
}

TEST(GlobalSearch, CtrlQDuringTunnellingPutsTheBestVertexBackOnTheReference) {
    SingleWell f;
    Workspace ws = WorkspaceAt({{-1.2}, {-1.1}}, f);
    ws.Fit.BestVertex = 1;
    ScriptedRunInterface ui;
    ui.KeysAtIteration[1] = kCtrlQ;
    GlobalSearchStep(ws, ui, std::ref(f));
    EXPECT_TRUE(ws.Fit.StopRequested);
    EXPECT_EQ(ui.TermMessages.back(), "Full stop by user.                ");
    const int b = ws.Fit.BestVertex - 1;
    EXPECT_EQ(ws.Free.Vertices[b], std::vector<double>{-1.2});
    EXPECT_EQ(ws.Free.VertexMerit[b], f(std::vector<double>{-1.2}));
}

TEST(GlobalSearch, TheSameSeedGivesTheSameSearch) {
    auto run = [](std::uint64_t seed) {
        DoubleWell f;
        Workspace ws = WorkspaceAt({{-0.80}, {-0.75}}, f);
        ws.Random.seed(seed);
        ScriptedRunInterface ui;
        RunSimplex(ws, ui, SimplexVariant::Local, std::ref(f));
        FoldAllVertices(ws.Free);
        GlobalSearchStep(ws, ui, std::ref(f));
        return std::make_pair(ws.Free.Vertices, f.Calls);
    };
    EXPECT_EQ(run(7), run(7));
}

}  // namespace
}  // namespace korvel
