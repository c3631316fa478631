// Inputs on which the closed-form period power has no value of its own (a period that
// absorbs everything, periods of zero thickness stacked 255 times): every method must
// still give a finite curve.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "EngineTestModels.h"
#include "base/RunError.h"
#include "fit/CurveEvaluation.h"
#include "engine/MatrixMethod.h"
#include "engine/Parratt.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

std::vector<double> Curve(const TestSample& sample, const std::vector<double>& angles, char mode) {
    Workspace ws = MakeWorkspace(sample, angles);
    ws.Settings.CalculationMode = mode;
    ws.Fit.SkipFigureOfMerit = true;
    EvaluateCurve(ws, {});
    return ws.Curves.CalculatedCurve;
}

void ExpectClose(const std::vector<double>& a, const std::vector<double>& b, double tolerance) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_NEAR(a[i], b[i], tolerance * std::fabs(b[i]) + 1e-300) << "point " << i;
}

}  // namespace

TEST(RegressionEngine, APeriodThatAbsorbsEverythingStillGivesTheParrattValue) {
    // The phase factor of the thick absorbing layer underflows to 0, so the period
    // matrix has determinant 0 and cannot be normalised for the Chebyshev power.
    TestSample sample;
    sample.Top = {{40.0, 4e-6, 1e-7, 2.0}};
    sample.Unit = {{20.0, 8e-6, 4e-7, 3.0}, {1e7, 3e-6, 1e-3, 3.0}};
    sample.RepeatCount = 7;
    sample.Substrate = SiliconLike(3.0);
    const std::vector<double> angles = AngleGrid(0.05, 3.0, 30);
    ExpectClose(Curve(sample, angles, 'M'), Curve(sample, angles, 'P'), 1e-9);
}

TEST(RegressionEngine, TheLargestRepeatCountOfZeroThicknessLayersIsFiniteInEveryMode) {
    TestSample sample;
    sample.Top = {{50.0, 5e-6, 1e-7, 2.0}};
    sample.Unit = {{0.0, 8e-6, 2e-7, 3.0}, {0.0, 2e-6, 1e-8, 1.0}, {0.0, 9e-6, 0.0, 0.0}};
    sample.RepeatCount = 255;
    sample.Substrate = SiliconLike(3.0);
    TestSample plain = sample;
    plain.Unit.clear();
    plain.RepeatCount = 0;
    const std::vector<double> angles = AngleGrid(0.0, 4.0, 40);
    const std::vector<double> parratt = Curve(sample, angles, 'P');
    // Zero-thickness interfaces cancel pairwise only without roughness; with it the
    // methods must still agree with each other and stay finite.
    ExpectClose(Curve(sample, angles, 'M'), parratt, 1e-6);
    for (double r : Curve(sample, angles, 'F')) EXPECT_TRUE(std::isfinite(r));
    for (double r : parratt) EXPECT_TRUE(std::isfinite(r) && r >= 0.0 && r <= 1.0 + 1e-12);
}
