// Searches that must end: inputs found by fuzzing whole fits on which a step of the
// global search went on for hours.

#include <gtest/gtest.h>

#include <span>

#include "FitTestSupport.h"
#include "InputTestSupport.h"
#include "ScriptedRunInterface.h"
#include "base/RunError.h"
#include "app/Workspace.h"
#include "app/FittingRun.h"
#include "fit/GlobalSearch.h"

namespace korvel {
namespace {

using testing::ScriptedRunInterface;
using testing::SimplexWorkspace;

}  // namespace

TEST(RegressionFit, AClimbThatNeverPassesACrestGivesUp) {
    // The figure of merit rises along the steepest edge for as far as the climb goes
    // (in a real fit: a slope crossed in steps of 1 % of an angle close to 0).
    long calls = 0;
    auto rising = [&calls](std::span<const double> v) {
        ++calls;
        return 10.0 + v[0];
    };
    Workspace ws = SimplexWorkspace({{-1.2}, {-1.1}});
    ws.Free.VertexMerit = {8.8, 8.9};
    ws.Fit.BestVertex = 1;
    ScriptedRunInterface ui;
    GlobalSearchStep(ws, ui, rising);
    EXPECT_TRUE(ws.Fit.StopRequested);
    EXPECT_EQ(ws.Free.Vertices[0], std::vector<double>{-1.2});
    EXPECT_DOUBLE_EQ(ws.Free.VertexMerit[0], 8.8);
    EXPECT_LE(calls, 10001);
    EXPECT_EQ(ui.Iterations, 0);
}

TEST(RegressionFit, AFitWhoseBestThicknessSitsAtItsUpperBoundEnds) {
    // Found by fuzzing: the thickness ends near 123, its upper bound, so its angle is
    // close to 0 and the climb's steps were tiny; the fit took 393483 climb steps.
    testing::TempFolder dir;
    dir.Write("fit.mdl", "0.54 0 0 0 0 0\n1 0 0 0\n120 1.2e-5 2e-7 4\n0 7.6e-6 1.7e-7 3\n");
    dir.Write("fit.lmt",
              "100 123 11\n0 2e-5 0\n0 1e-6 0\n1 10 10\n0 0 0\n0 1e-5 0\n0 1e-6 0\n0 10 0\n");
    dir.Write("fit.dat",
              "0.1 0.98 0.05\n0.2 0.9 0.05\n0.3 0.05 0.003\n0.4 0.01 0.001\n0.5 0.003 0.0003\n"
              "0.6 0.0012 0.0001\n0.7 0.0008 0.00008\n0.8 0.0004 0.00004\n0.9 0.0002 0.00002\n");
    dir.Write("fit.inp", "fit.dat\nF\nN\nY\nfit.mdl\nfit.lmt\n1e-6\n30\n0\nM\n");
    Workspace ws;
    ws.Settings.CommandFileName = dir.Path("fit.inp");
    ws.Options.Seed = 5;
    ws.Options.MaxRespreads = 0;
    ScriptedRunInterface ui;
    RunFitting(ws, ui);
    EXPECT_EQ(ui.Messages.back(), "Done!!!   Press OK to continue");
    EXPECT_LT(ui.Iterations, 1000);
    EXPECT_NE(dir.Read("fit.bst").find("Norma"), std::string::npos);
}

}  // namespace korvel
