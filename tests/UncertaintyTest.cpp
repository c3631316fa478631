// The uncertainty estimate on a curve that is linear in its parameters, where the
// curvature matrix and its inverse are known exactly, and its table.

#include <gtest/gtest.h>

#include <cmath>

#include "FitTestSupport.h"
#include "base/RunError.h"
#include "fit/Uncertainty.h"

namespace korvel {
namespace {

using testing::SimplexWorkspace;

// Smeared curve = x1 * (1, 0, 1) + x2 * (0, 1, 1) at three points with unit weights:
// curvature [[2, 1], [1, 2]], inverse diagonal 2/3.
struct LinearCurve {
    Workspace* ws;
    int Calls = 0;
    void operator()(std::span<const double> v) {
        ++Calls;
        ws->Curves.SmearedCurve = {v[0], v[1], v[0] + v[1]};
    }
};

Workspace LinearWorkspace(std::vector<double> best, const std::string& file) {
    Workspace ws = SimplexWorkspace({{9.0, 9.0}, best, {9.0, 9.0}});
    ws.Free.FreeFlags.assign(8, false);
    ws.Free.FreeFlags[4] = true;  // [Thickness:2]
    ws.Free.FreeFlags[3] = true;  // [Roughness:1]
    ws.Free.FreeHalfRange = {1.0, 1.0};
    ws.Free.VertexHoldsValues = true;
    ws.Fit.BestVertex = 2;
    ws.Fit.BestMerit = 2.0;
    ws.Fit.FinalScaleSmeared = 1.0;
    ws.Fit.SkipFigureOfMerit = true;
    ws.Fit.MachineEpsilon = 1.1102230246251565e-16;
    ws.Curves.Resize(3);
    ws.Curves.Uncertainty = {1.0, 1.0, 1.0};
    ws.Files.ResultModelFile = file;
    return ws;
}

TEST(Uncertainty, ComesFromTheInverseCurvatureScaledByMeritAndScaleFactor) {
    testing::TemporaryDirectory directory;
    Workspace ws = LinearWorkspace({3.0, 0.5}, "m.bst");
    LinearCurve curve{&ws};
    std::vector<double> d = EstimateUncertainties(ws, std::ref(curve));
    EXPECT_NEAR(d[0], std::sqrt(2.0 * 2.0 / 3.0), 1e-8);
    EXPECT_NEAR(d[1], std::sqrt(2.0 * 2.0 / 3.0), 1e-8);
    EXPECT_EQ(curve.Calls, 4);
    EXPECT_FALSE(ws.Fit.SkipFigureOfMerit);

    ws.Fit.SkipFigureOfMerit = true;
    ws.Fit.FinalScaleSmeared = 4.0;
    ws.Curves.Uncertainty = {0.5, 0.5, 0.5};  // weights 4: curvature four times larger
    d = EstimateUncertainties(ws, std::ref(curve));
    EXPECT_NEAR(d[0], std::sqrt(2.0 * (2.0 / 3.0) / 4.0 / 4.0), 1e-8);
}

TEST(Uncertainty, AppendsItsTableToTheResultModelFile) {
    testing::TemporaryDirectory directory;
    Workspace ws = LinearWorkspace({3.0, 0.5}, "m.bst");
    LinearCurve curve{&ws};
    std::FILE* file = std::fopen("m.bst", "wb");
    std::fputs("before\r\n", file);
    std::fclose(file);
    EstimateUncertainties(ws, std::ref(curve));
    // Free parameter 1 is [Roughness:1] (model index 4), 2 is [Thickness:2] (index 5).
    const std::string expected =
        "before\r\n"
        "\r\n"
        "Estimation of Parameters Uncertainties\r\n"
        "\r\n"
        "          Param             dParam        Quota      Shift\r\n"
        "[Roughness:1]    3.000000E+0000    1.155E+0000 ( 0.3849)\r\n"
        "[Thickness:2]    5.000000E-0001    1.155E+0000 ( 2.3094)\r\n"
        "\r\n";
    EXPECT_EQ(testing::ReadText("m.bst"), expected);
}

TEST(Uncertainty, StepsAZeroParameterByItsRangeAndPrintsNoQuota) {
    testing::TemporaryDirectory directory;
    Workspace ws = LinearWorkspace({0.0, 0.5}, "m.bst");
    LinearCurve curve{&ws};
    const std::vector<double> d = EstimateUncertainties(ws, std::ref(curve));
    EXPECT_NEAR(d[0], std::sqrt(4.0 / 3.0), 1e-6);
    const std::string table = testing::ReadText("m.bst");
    EXPECT_NE(table.find("[Roughness:1]    0.000000E+0000    1.155E+0000 (    Inf)\r\n"),
              std::string::npos)
        << table;
}

TEST(Uncertainty, ACurveBlindToAParameterIsASingularMatrixNamingIt) {
    testing::TemporaryDirectory directory;
    Workspace ws = LinearWorkspace({3.0, 0.5}, "m.bst");
    auto blind = [&ws](std::span<const double> v) { ws.Curves.SmearedCurve = {v[0], v[0], 1.0}; };
    const std::string failure = testing::RunErrorOf([&] { EstimateUncertainties(ws, blind); });
    EXPECT_EQ(failure.rfind("Singular matrix. | ", 0), 0u) << failure;
    EXPECT_NE(failure.find("[Thickness:2]"), std::string::npos) << failure;
}

}  // namespace
}  // namespace korvel
