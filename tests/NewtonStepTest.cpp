// LU inversion and the Newton step on figures of merit whose minimum is known.

#include <gtest/gtest.h>

#include <cmath>

#include "FitTestSupport.h"
#include "ScriptedRunInterface.h"
#include "base/RunError.h"
#include "fit/MatrixInversion.h"
#include "fit/NewtonStep.h"

namespace korvel {
namespace {

using testing::ScriptedRunInterface;
using testing::SimplexWorkspace;

constexpr double kEps = 1.1102230246251565e-16;

void ExpectMatrixNear(const Matrix& actual, const Matrix& expected, double tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        for (std::size_t j = 0; j < expected.size(); ++j)
            EXPECT_NEAR(actual[i][j], expected[i][j], tolerance) << i << "," << j;
}

TEST(MatrixInversion, InvertsTheIdentityToItself) {
    ExpectMatrixNear(InvertMatrix(IdentityMatrix(4), kEps), IdentityMatrix(4), 0.0);
}

TEST(MatrixInversion, InvertsAKnownThreeByThreeAndLeavesItUnchanged) {
    const Matrix a{{4, 7, 2}, {3, 6, 1}, {2, 5, 3}};  // determinant 9
    const Matrix copy = a;
    const Matrix expected{{13.0 / 9, -11.0 / 9, -5.0 / 9},
                          {-7.0 / 9, 8.0 / 9, 2.0 / 9},
                          {3.0 / 9, -6.0 / 9, 3.0 / 9}};
    ExpectMatrixNear(InvertMatrix(a, kEps), expected, 1e-14);
    EXPECT_EQ(a, copy);
}

TEST(MatrixInversion, PivotsWhenTheDiagonalStartsWithZero) {
    const Matrix swap{{0, 1}, {1, 0}};
    ExpectMatrixNear(InvertMatrix(swap, kEps), swap, 0.0);
    Matrix lu = swap;
    std::vector<int> index;
    EXPECT_EQ(LUDecompose(lu, index, kEps), -1);
    EXPECT_EQ(index, (std::vector<int>{1, 1}));
}

TEST(MatrixInversion, RejectsARowOfZerosAsSingular) {
    const Matrix a{{1, 2, 3}, {0, 0, 0}, {4, 5, 6}};
    try {
        InvertMatrix(a, kEps);
        FAIL() << "no error";
    } catch (const SingularMatrixError& error) {
        EXPECT_EQ(error.Message(), "Singular matrix.");
        EXPECT_EQ(error.Row(), 2);
    }
}

TEST(MatrixInversion, ReplacesAZeroPivotByTheMachineEpsilon) {
    // Equal rows: no zero row, but elimination leaves a zero pivot (no pivot row found).
    const Matrix a{{1, 2}, {1, 2}};
    Matrix lu = a;
    std::vector<int> index;
    LUDecompose(lu, index, kEps);
    EXPECT_EQ(lu[1][1], kEps);
    const Matrix inverse = InvertMatrix(a, kEps);
    EXPECT_TRUE(std::isfinite(inverse[1][1]));
    EXPECT_GT(std::fabs(inverse[1][1]), 1e14);
}

// 2 (x - 1)^2 + 3 (y + 2)^2 + 0.5 (z - 4)^2 + 0.25: diagonal curvature, minimum at (1, -2, 4).
struct Paraboloid {
    int Calls = 0;
    double operator()(std::span<const double> v) {
        ++Calls;
        return 2.0 * (v[0] - 1.0) * (v[0] - 1.0) + 3.0 * (v[1] + 2.0) * (v[1] + 2.0) +
               0.5 * (v[2] - 4.0) * (v[2] - 4.0) + 0.25;
    }
};

Workspace NewtonWorkspace(std::vector<double> start, Paraboloid& f) {
    Workspace ws = SimplexWorkspace({start, start, start, start});
    ws.Free.VertexHoldsValues = true;
    ws.Free.FreeHalfRange.assign(start.size(), 1.0);
    ws.Fit.MachineEpsilon = kEps;
    ws.Fit.BestVertex = 2;
    ws.Free.VertexMerit[1] = f(start);
    f.Calls = 0;
    return ws;
}

TEST(NewtonStep, MinimisesADiagonalQuadraticInOneStep) {
    Paraboloid f;
    Workspace ws = NewtonWorkspace({1.3, -2.4, 3.0}, f);
    ScriptedRunInterface ui;
    NewtonStep(ws, ui, std::ref(f));
    const auto& x = ws.Free.Vertices[1];
    // Exact up to the finite-difference error of the curvature (about 1e-4 relative).
    EXPECT_NEAR(x[0], 1.0, 1e-4);
    EXPECT_NEAR(x[1], -2.0, 1e-4);
    EXPECT_NEAR(x[2], 4.0, 1e-4);
    EXPECT_EQ(f.Calls, 2 * 3 + 3 * 2);
    EXPECT_EQ(ws.Free.Vertices[0], (std::vector<double>{1.3, -2.4, 3.0}));  // others untouched
}

TEST(NewtonStep, MinimisesAQuadraticWhoseParametersInteract) {
    auto f = [](std::span<const double> v) {
        const double a = v[0] - 1.0;
        const double b = v[1] - 2.0;
        return a * a + b * b + a * b + 1.0;
    };
    Workspace ws = SimplexWorkspace({{1.5, 2.5}, {1.5, 2.5}, {1.5, 2.5}});
    ws.Free.FreeHalfRange = {1.0, 1.0};
    ws.Free.VertexMerit = {f(std::vector<double>{1.5, 2.5}), 0.0, 0.0};
    ws.Fit.BestVertex = 1;
    ScriptedRunInterface ui;
    NewtonStep(ws, ui, f);
    EXPECT_NEAR(ws.Free.Vertices[0][0], 1.0, 1e-4);
    EXPECT_NEAR(ws.Free.Vertices[0][1], 2.0, 1e-4);
}

TEST(NewtonStep, CountsTheStepsDownInItsCaption) {
    Paraboloid f;
    Workspace ws = NewtonWorkspace({1.3, -2.4, 3.0}, f);
    ScriptedRunInterface ui;
    NewtonStep(ws, ui, std::ref(f));
    const std::string first = "Newton Step in progress:  1st derivative.  To be done ";
    const std::string second = "Newton Step in progress:  2nd derivative.  To be done ";
    const std::vector<std::string> expected{first,  first + "3",  first + "32",  first + "321",
                                            second, second + "3", second + "32", second + "321"};
    EXPECT_EQ(ui.TmpMessages, expected);
    EXPECT_EQ(ui.TmpStyle, TmpMessageStyle::NewtonStep);
}

TEST(NewtonStep, WithOneParameterHasNoSecondStageCountAndStepsByGradientOverCurvature) {
    int calls = 0;
    auto f = [&calls](std::span<const double> v) {
        ++calls;
        return 5.0 * (v[0] - 2.0) * (v[0] - 2.0) + 1.0;
    };
    Workspace ws = SimplexWorkspace({{2.5}, {2.5}});
    ws.Free.FreeHalfRange = {1.0};
    ws.Free.VertexMerit = {f(std::vector<double>{2.5}), 0.0};
    ws.Fit.BestVertex = 1;
    ScriptedRunInterface ui;
    NewtonStep(ws, ui, f);
    EXPECT_NEAR(ws.Free.Vertices[0][0], 2.0, 1e-4);
    EXPECT_EQ(ui.TmpMessages.back(), "Newton Step in progress:  2nd derivative.  To be done ");
}

TEST(NewtonStep, StepsAParameterAtZeroByItsHalfRange) {
    auto f = [](std::span<const double> v) { return (v[0] - 0.5) * (v[0] - 0.5) + 1.0; };
    Workspace ws = SimplexWorkspace({{0.0}, {0.0}});
    ws.Free.FreeHalfRange = {2.0};
    ws.Free.VertexMerit = {1.25, 1.25};
    ws.Fit.BestVertex = 1;
    EXPECT_DOUBLE_EQ(DifferenceStep(ws.Free, 1, 0.0), 2e-6);
    EXPECT_DOUBLE_EQ(DifferenceStep(ws.Free, 1, 3.0), 3e-6);
    ScriptedRunInterface ui;
    NewtonStep(ws, ui, f);
    EXPECT_NEAR(ws.Free.Vertices[0][0], 0.5, 1e-4);
}

TEST(NewtonStep, NamesTheParameterOfASingularCurvatureRow) {
    auto f = [](std::span<const double>) { return 1.25; };
    Workspace ws = SimplexWorkspace({{1.0, 3.0}, {1.0, 3.0}, {1.0, 3.0}});
    ws.Free.FreeFlags.assign(8, false);
    ws.Free.FreeFlags[5] = ws.Free.FreeFlags[7] = true;  // ReDensity and Roughness of layer 2
    ws.Free.FreeHalfRange = {1.0, 1.0};
    ws.Free.VertexMerit = {1.25, 1.25, 1.25};
    ws.Fit.BestVertex = 1;
    ScriptedRunInterface ui;
    const std::string failure = testing::RunErrorOf([&] { NewtonStep(ws, ui, f); });
    EXPECT_EQ(failure.rfind("Singular matrix. | ", 0), 0u) << failure;
    EXPECT_NE(failure.find("[ReDensity:2]"), std::string::npos) << failure;
}

}  // namespace
}  // namespace korvel
