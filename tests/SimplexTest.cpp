// The downhill simplex: ranking, the termination codes and the order in which they
// override each other, the keyboard stops, the display and folding.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "FitTestSupport.h"
#include "ScriptedRunInterface.h"
#include "fit/MachineEpsilon.h"
#include "fit/Simplex.h"

namespace korvel {
namespace {

using testing::ScriptedRunInterface;
using testing::SimplexWorkspace;

constexpr double kPi = std::numbers::pi;

// A bowl with its lowest point 1 at (0.3, -0.7); counts its calls.
struct Bowl {
    int Calls = 0;
    double operator()(std::span<const double> v) {
        ++Calls;
        return 1.0 + (v[0] - 0.3) * (v[0] - 0.3) + 2.0 * (v[1] + 0.7) * (v[1] + 0.7);
    }
};

Workspace BowlWorkspace(Bowl& bowl) {
    Workspace ws = SimplexWorkspace({{-1.0, -1.0}, {-0.5, -1.2}, {-1.1, -0.4}});
    for (int i = 0; i < 3; ++i) ws.Free.VertexMerit[i] = bowl(ws.Free.Vertices[i]);
    bowl.Calls = 0;
    return ws;
}

TEST(MachineEpsilon, IsTheSmallestDescentValueAboveHalfAnUlpOfOne) {
    const double eps = ComputeMachineEpsilon();
    volatile double sum = 1.0 + eps;
    EXPECT_GT(sum, 1.0);
    EXPECT_GT(eps, std::ldexp(1.0, -53));
    EXPECT_LT(eps, std::ldexp(1.0, -53) * (1.0 + 1e-6));
}

TEST(SimplexRanking, FindsLowestHighestAndNextHighestKeepingTheEarlierIndexOnTies) {
    struct Case {
        std::vector<double> Merits;
        int Lowest, Highest, NextHighest;
    };
    const std::vector<Case> cases{
        {{3.0, 1.0, 5.0, 2.0}, 2, 3, 1}, {{2.0, 2.0, 2.0}, 1, 2, 1},
        {{1.0, 4.0, 4.0, 0.5}, 4, 2, 3},  // the later equal value becomes the next highest
        {{1.0, 4.0}, 1, 2, 1},            // two vertices: highest and next highest differ
        {{4.0, 1.0}, 2, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Merits));
        const SimplexRanking r = RankVertices(c.Merits);
        EXPECT_EQ(r.Lowest, c.Lowest);
        EXPECT_EQ(r.Highest, c.Highest);
        EXPECT_EQ(r.NextHighest, c.NextHighest);
    }
}

TEST(TerminationMessages, AreThirtyFourCharactersAndDifferByVariant) {
    for (int code = 1; code <= 5; ++code)
        EXPECT_EQ(TerminationMessage(SimplexVariant::Local, code).size(), 34u) << code;
    for (int code = 1; code <= 8; ++code)
        EXPECT_EQ(TerminationMessage(SimplexVariant::Tunnelling, code).size(), 34u) << code;
    EXPECT_EQ(TerminationMessage(SimplexVariant::Local, 4), "Abs(Xi[hi]^2 - Xi[lo]^2) < PC_Eps.");
    EXPECT_EQ(TerminationMessage(SimplexVariant::Tunnelling, 4),
              "Abs(Xi[hi]^2 - Xi[lo]^2) < PC_Eps ");
    EXPECT_EQ(TerminationMessage(SimplexVariant::Local, 5), "Full stop by user.                ");
    EXPECT_EQ(TerminationMessage(SimplexVariant::Tunnelling, 5),
              "Negative area achieved.           ");
    EXPECT_EQ(TerminationMessage(SimplexVariant::Tunnelling, 6),
              "Full stop by user.                ");
}

TEST(LocalSimplex, FindsTheLowestPointOfABowl) {
    Bowl bowl;
    Workspace ws = BowlWorkspace(bowl);
    ws.Settings.FitTolerance = 1e-12;
    ScriptedRunInterface ui;
    const int code = RunSimplex(ws, ui, SimplexVariant::Local, std::ref(bowl));
    EXPECT_TRUE(code == kToleranceAttained || code == kSpreadBelowEpsilon) << code;
    const auto& best = ws.Free.Vertices[ws.Fit.BestVertex - 1];
    EXPECT_NEAR(best[0], 0.3, 1e-5);
    EXPECT_NEAR(best[1], -0.7, 1e-5);
    EXPECT_NEAR(ws.Free.VertexMerit[ws.Fit.BestVertex - 1], 1.0, 1e-10);
    EXPECT_EQ(ui.Phases, std::vector<std::string>{"Local"});
    EXPECT_EQ(ui.FittingFields[FittingField::SessionBest], ui.FittingFields[FittingField::XiBest]);
    EXPECT_GE(ui.PlotDraws, 2);  // once at the start and on later new bests
    EXPECT_EQ(ui.Iterations, ws.Fit.IterationCount + 1);
}

TEST(LocalSimplex, WithMaxIterationsZeroEndsAtTheFirstRankingWithoutEvaluating) {
    Bowl bowl;
    Workspace ws = BowlWorkspace(bowl);
    ws.Settings.MaxIterations = 0;
    ScriptedRunInterface ui;
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Local, std::ref(bowl)), kMaxIterationsExceeded);
    EXPECT_EQ(bowl.Calls, 0);
    EXPECT_EQ(ws.Fit.IterationCount, 0);
    EXPECT_EQ(ui.TermMessages, std::vector<std::string>{"Maximum iterations exceeded.      "});
    // The lowest of the three starting values is vertex 2.
    EXPECT_EQ(ws.Fit.BestVertex, 2);
}

TEST(LocalSimplex, PerformsExactlyMaxIterationsIterations) {
    Bowl bowl;
    Workspace ws = BowlWorkspace(bowl);
    ws.Settings.MaxIterations = 5;
    ws.Settings.FitTolerance = 0.0;
    ScriptedRunInterface ui;
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Local, std::ref(bowl)), kMaxIterationsExceeded);
    EXPECT_EQ(ws.Fit.IterationCount, 5);
    EXPECT_EQ(ui.Iterations, 6);
}

TEST(LocalSimplex, EqualValuesEndWithToleranceUnlessToleranceIsZero) {
    ScriptedRunInterface ui;
    auto flat = [](std::span<const double>) { return 2.0; };
    Workspace ws = SimplexWorkspace({{-1.0}, {-2.0}});
    ws.Free.VertexMerit = {2.0, 2.0};
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Local, flat), kToleranceAttained);
    ws.Settings.FitTolerance = 0.0;
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Local, flat), kSpreadBelowEpsilon);
    EXPECT_EQ(ui.TermMessages.back(), "Abs(Xi[hi]^2 - Xi[lo]^2) < PC_Eps.");
}

TEST(LocalSimplex, ToleranceOverridesTheIterationLimit) {
    ScriptedRunInterface ui;
    Workspace ws = SimplexWorkspace({{-1.0}, {-2.0}});
    ws.Free.VertexMerit = {2.0, 2.0};
    ws.Settings.MaxIterations = 0;
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Local, [](auto) { return 2.0; }),
              kToleranceAttained);
}

// Keys typed during a run on the bowl: Ctrl+X ends only the run, Ctrl+Q also requests a
// full stop, the iteration limit overrides a key stop, other keys stay in LastKey.
TEST(LocalSimplex, KeysEndTheRunOrStayInLastKey) {
    struct Case {
        const char* Name;
        int MaxIterations;
        double Tolerance;
        int Iteration, Key;
        int Code;
        bool StopRequested;
        int LastKey;
        const char* TermMessage;  // nullptr: not checked
    };
    const int anyCount = RunSettings{}.MaxIterations;
    const double usualTolerance = RunSettings{}.FitTolerance;
    const std::vector<Case> cases{
        {"Ctrl+X", anyCount, 0.0, 5, kCtrlX, kCanceledByUser, false, 0,
         "Amoeba has been canceled by user. "},
        {"Ctrl+Q", anyCount, 0.0, 3, kCtrlQ, kLocalFullStop, true, 0,
         "Full stop by user.                "},
        {"limit over Ctrl+Q", 0, usualTolerance, 1, kCtrlQ, kMaxIterationsExceeded, true, -1,
         nullptr},
        {"Ctrl+A", 10, 0.0, 2, 1, kMaxIterationsExceeded, false, 1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Bowl bowl;
        Workspace ws = BowlWorkspace(bowl);
        ws.Settings.MaxIterations = static_cast<std::uint16_t>(c.MaxIterations);
        ws.Settings.FitTolerance = c.Tolerance;
        ScriptedRunInterface ui;
        ui.KeysAtIteration[c.Iteration] = c.Key;
        EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Local, std::ref(bowl)), c.Code);
        EXPECT_EQ(ws.Fit.StopRequested, c.StopRequested);
        if (c.LastKey >= 0) {
            EXPECT_EQ(ui.LastKey(), c.LastKey);
        }
        if (c.TermMessage) {
            EXPECT_EQ(ui.TermMessages.back(), c.TermMessage);
        }
        if (c.Key == kCtrlX) {
            EXPECT_EQ(ws.Fit.IterationCount, 4);
        }
    }
}

TEST(LocalSimplex, WritesOneFitLogLinePerIterationWhenTheLogIsOn) {
    testing::TemporaryDirectory directory;
    Bowl bowl;
    Workspace ws = BowlWorkspace(bowl);
    ws.Settings.MaxIterations = 2;
    ws.Settings.FitTolerance = 0.0;
    ws.Fit.FitLogEnabled = true;
    ws.Fit.EvaluationCount = 7;
    ScriptedRunInterface ui;
    RunSimplex(ws, ui, SimplexVariant::Local, std::ref(bowl));
    const std::string log = testing::ReadText("fitlog.txt");
    // Three rankings; the lowest starting value is that of vertex 2.
    const std::string first = "     7   " + std::string("2.140000E+0000") + "\r\n";
    EXPECT_EQ(log.substr(0, first.size()), first);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
}

TEST(TunnellingSimplex, ShowsDescendAndCtrlQGivesItsOwnCode) {
    Bowl bowl;
    Workspace ws = BowlWorkspace(bowl);
    ws.Settings.FitTolerance = 0.0;
    ScriptedRunInterface ui;
    ui.KeysAtIteration[2] = kCtrlQ;
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Tunnelling, std::ref(bowl)), kTunnellingFullStop);
    EXPECT_EQ(ui.Phases, std::vector<std::string>{"Descend"});
    EXPECT_EQ(ui.PlotDraws, 0);
    EXPECT_EQ(ui.FittingFields.count(FittingField::SessionBest), 0u);
    EXPECT_EQ(ui.TermMessages.back(), "Full stop by user.                ");
}

TEST(TunnellingSimplex, ANegativeBestEndsTheRunAndDistanceFlagsOverrideIt) {
    ScriptedRunInterface ui;
    auto objective = [](std::span<const double> v) { return v[0]; };
    Workspace ws = SimplexWorkspace({{-1.0}, {2.0}});
    ws.Free.VertexMerit = {-1.0, 2.0};
    ws.Settings.FitTolerance = 0.0;
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Tunnelling, objective), kNegativeArea);
    EXPECT_EQ(ui.TermMessages.back(), "Negative area achieved.           ");

    // A flag raised during the run ends it too; "too far" is checked last.
    ws.Free.Vertices = {{-1.0}, {2.0}};
    ws.Free.VertexMerit = {-1.0, 2.0};
    auto flagging = [&ws](std::span<const double> v) {
        ws.Fit.TooBigStep = true;
        ws.Fit.TooFar = true;
        return v[0];
    };
    ws.Free.VertexMerit = {1.0, 2.0};
    ws.Free.Vertices = {{1.0}, {2.0}};
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Tunnelling, flagging), kTooFarFromReference);
    EXPECT_EQ(ui.TermMessages.back(), "Too far from reference point.     ");
}

TEST(TunnellingSimplex, ClearsTheDistanceFlagsWhenItStarts) {
    ScriptedRunInterface ui;
    Workspace ws = SimplexWorkspace({{1.0}, {2.0}});
    ws.Free.VertexMerit = {1.0, 2.0};
    ws.Fit.TooBigStep = true;
    ws.Fit.TooFar = true;
    ws.Settings.MaxIterations = 0;
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Tunnelling, [](auto v) { return v[0]; }),
              kMaxIterationsExceeded);
    EXPECT_FALSE(ws.Fit.TooBigStep);
    EXPECT_FALSE(ws.Fit.TooFar);
}

TEST(TunnellingSimplex, UsesTenTimesTheToleranceWithAReversedComparison) {
    ScriptedRunInterface ui;
    Workspace ws = SimplexWorkspace({{1.0}, {2.0}});
    // rtol = 2 * 0.01 / 2.01, just below 10 * 1e-3 but above 1e-3.
    ws.Free.VertexMerit = {1.0, 1.01};
    ws.Settings.FitTolerance = 1e-3;
    ws.Settings.MaxIterations = 0;
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Tunnelling, [](auto v) { return v[0]; }),
              kToleranceAttained);
    ws.Free.VertexMerit = {1.0, 1.01};
    EXPECT_EQ(RunSimplex(ws, ui, SimplexVariant::Local, [](auto v) { return v[0]; }),
              kMaxIterationsExceeded);
}

TEST(TunnellingObjective, DividesTheMeritAboveTargetByThePoweredDistance) {
    Workspace ws = SimplexWorkspace({{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}});
    ws.Fit.ReferencePoint = {-1.0, -2.0, 5.0};
    auto merit = [](std::span<const double>) { return 7.0; };
    const std::vector<double> v{-0.5, -2.5};  // D = 0.5
    EXPECT_DOUBLE_EQ(EvaluateTunnelling(ws, merit, 1, v, 6.0), 1.0 / 0.5);
    EXPECT_DOUBLE_EQ(EvaluateTunnelling(ws, merit, 3, v, 6.0), 1.0 / 0.125);
    const std::vector<double> onReference{-1.0, -2.0};
    EXPECT_EQ(EvaluateTunnelling(ws, merit, 2, onReference, 6.0),
              std::numeric_limits<double>::infinity());
}

TEST(TunnellingObjective, RaisesTheDistanceFlagsOnJumpsAndFarPoints) {
    Workspace ws = SimplexWorkspace({{0.0}, {0.0}});
    ws.Fit.ReferencePoint = {0.0, 1.0};
    ws.Fit.PreviousDistance = 0.0;
    auto merit = [](std::span<const double>) { return 1.0; };
    const std::vector<double> near{0.5 * kPi};  // e = 0.5
    EvaluateTunnelling(ws, merit, 1, near, 0.0);
    EXPECT_FALSE(ws.Fit.TooBigStep);
    const std::vector<double> jump{2.0 * kPi};  // e = 2: a jump of 1.5
    EvaluateTunnelling(ws, merit, 1, jump, 0.0);
    EXPECT_TRUE(ws.Fit.TooBigStep);
    EXPECT_DOUBLE_EQ(ws.Fit.PreviousDistance, 2.0);
    EvaluateTunnelling(ws, merit, 1, near, 0.0);
    EXPECT_TRUE(ws.Fit.TooBigStep);  // stays raised until the next run starts
    EXPECT_FALSE(ws.Fit.TooFar);
    const std::vector<double> far{1001.0 * kPi};
    EvaluateTunnelling(ws, merit, 1, far, 0.0);
    EXPECT_TRUE(ws.Fit.TooFar);
}

TEST(Folding, BringsAnglesIntoMinusPiToZeroKeepingTheCosine) {
    EXPECT_NEAR(FoldAngle(0.5), -0.5, 1e-15);
    EXPECT_NEAR(FoldAngle(4.0), 4.0 - 2.0 * kPi, 1e-15);
    EXPECT_NEAR(FoldAngle(-4.0), 4.0 - 2.0 * kPi, 1e-15);
    EXPECT_DOUBLE_EQ(FoldAngle(-1.0), -1.0);
    EXPECT_DOUBLE_EQ(FoldAngle(-kPi), -kPi);
    EXPECT_EQ(FoldAngle(0.0), 0.0);
    for (double angle : {-100.0, -7.0, -3.3, 3.3, 7.0, 20.0, 123.4}) {
        const double folded = FoldAngle(angle);
        EXPECT_LE(folded, 0.0) << angle;
        EXPECT_GE(folded, -kPi) << angle;
        EXPECT_NEAR(std::cos(folded), std::cos(angle), 1e-12) << angle;
    }
}

TEST(Folding, AppliesToEveryEntryOfEveryVertex) {
    Workspace ws = SimplexWorkspace({{0.5, 4.0}, {-4.0, -1.0}, {7.0, -0.5}});
    FoldVertex(ws.Free, 3);
    EXPECT_NEAR(ws.Free.Vertices[2][0], FoldAngle(7.0), 0.0);
    EXPECT_DOUBLE_EQ(ws.Free.Vertices[0][0], 0.5);  // untouched
    FoldAllVertices(ws.Free);
    EXPECT_NEAR(ws.Free.Vertices[0][0], -0.5, 1e-15);
    EXPECT_NEAR(ws.Free.Vertices[1][0], 4.0 - 2.0 * kPi, 1e-15);
}

}  // namespace
}  // namespace korvel
