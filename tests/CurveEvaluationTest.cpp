#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "EngineTestModels.h"
#include "base/RunError.h"
#include "fit/CurveEvaluation.h"
#include "engine/FourierMethod.h"
#include "engine/OpticalStack.h"
#include "engine/Parratt.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

TestSample Multilayer() {
    TestSample sample;
    sample.Top = {{12.0, 3e-6, 1e-7, 3.0}};
    sample.Unit = {{20.0, 8e-6, 4e-7, 3.0}, {30.0, 3e-6, 2e-8, 3.0}};
    sample.RepeatCount = 10;
    sample.Substrate = SiliconLike(3.0);
    return sample;
}

// A simulation-like evaluation: no free parameters, figure of merit skipped.
std::vector<double> Simulate(Workspace& ws, char mode) {
    ws.Settings.CalculationMode = mode;
    ws.Fit.SkipFigureOfMerit = true;
    EvaluateCurve(ws, {});
    return ws.Curves.CalculatedCurve;
}

std::string ErrorOf(Workspace& ws) {
    try {
        EvaluateCurve(ws, {});
    } catch (const RunError& error) {
        return error.Message();
    }
    return "no error";
}

}  // namespace

TEST(CurveEvaluation, FloorsAtTheCutOffLevelBeforeSmearing) {
    Workspace ws = MakeWorkspace(Multilayer(), AngleGrid(0.0, 6.0, 300));
    ws.Model.Header.ResolutionOffset1 = 0.05;
    ws.Model.Header.ResolutionOffset2 = 0.05;
    ws.Settings.CutOffLevel = 1e-7;
    const auto calculated = Simulate(ws, 'P');
    int floored = 0;
    for (std::size_t i = 0; i < calculated.size(); ++i) {
        EXPECT_GE(calculated[i], 1e-7);
        if (calculated[i] == 1e-7) ++floored;
        EXPECT_GE(ws.Curves.SmearedCurve[i], 1e-7 * (1.0 - 1e-12));  // averages of floored values
    }
    EXPECT_GT(floored, 10);
}

TEST(CurveEvaluation, ParrattAndMatrixModesAgree) {
    Workspace ws = MakeWorkspace(Multilayer(), AngleGrid(0.0, 4.0, 200));
    const auto parratt = Simulate(ws, 'P');
    const auto matrix = Simulate(ws, 'M');
    for (std::size_t i = 0; i < parratt.size(); ++i)
        EXPECT_NEAR(matrix[i], parratt[i], parratt[i] * 1e-10);
}

TEST(CurveEvaluation, FourierModeGivesExactlyParrattBelowFourCriticalAngles) {
    Workspace ws = MakeWorkspace(Multilayer(), AngleGrid(0.0, 3.0, 150));
    const auto parratt = Simulate(ws, 'P');
    const auto fourier = Simulate(ws, 'F');
    EvaluationContext context;
    BuildStack(ws.Model, context);
    FourierSetup(context);
    int below = 0;
    int above = 0;
    for (std::size_t i = 0; i < parratt.size(); ++i) {
        if (context.FourierThreshold > ws.Curves.CosSquared[i]) {
            ++above;
            EXPECT_NE(fourier[i], parratt[i]);
        } else {
            ++below;
            EXPECT_EQ(fourier[i], parratt[i]);
        }
    }
    EXPECT_GT(below, 10);
    EXPECT_GT(above, 10);
}

TEST(CurveEvaluation, SubstrateThicknessHasNoEffectInAnyMode) {
    TestSample thick = Multilayer();
    thick.Substrate.Thickness = 1e5;
    for (char mode : {'P', 'M', 'F'}) {
        Workspace a = MakeWorkspace(Multilayer(), AngleGrid(0.0, 3.0, 60));
        Workspace b = MakeWorkspace(thick, AngleGrid(0.0, 3.0, 60));
        EXPECT_EQ(Simulate(a, mode), Simulate(b, mode)) << mode;
    }
}

TEST(CurveEvaluation, OnlyASubstrateGivesTheRoughnessDampedFresnelCurve) {
    // Independent check with std::complex: r exp(-2 kz0 kz1 sigma^2), kz1 in first order.
    const double delta = 7.6e-6;
    const double beta = 1.7e-7;
    const double sigma = 4.0;
    TestSample sample;
    sample.Substrate = {0.0, delta, beta, sigma};
    Workspace ws = MakeWorkspace(sample, AngleGrid(0.05, 2.0, 39));
    const double k = 2.0 * 3.141592653589793 / 1.54;
    for (char mode : {'P', 'M'}) {
        const auto curve = Simulate(ws, mode);
        for (std::size_t i = 0; i < curve.size(); ++i) {
            const double s2 = 1.0 - ws.Curves.CosSquared[i];
            const std::complex<double> n(1.0 - delta, -beta);
            const std::complex<double> f0 = std::sqrt(s2);
            const std::complex<double> f1 = std::sqrt(n * n - (1.0 - s2));
            const std::complex<double> kz1 =
                k * std::sqrt(std::complex<double>(s2 - 2.0 * delta, -2.0 * beta));
            const std::complex<double> r =
                (f0 - f1) / (f0 + f1) * std::exp(-2.0 * k * std::sqrt(s2) * kz1 * sigma * sigma);
            EXPECT_NEAR(curve[i], std::norm(r), std::norm(r) * 1e-9) << mode << " " << i;
        }
    }
}

TEST(CurveEvaluation, SkippingTheFigureOfMeritLeavesTheCurvesUnscaled) {
    Workspace ws = MakeWorkspace(Multilayer(), AngleGrid(0.1, 3.0, 80));
    ws.Settings.DataScaled = false;
    const auto raw = Simulate(ws, 'M');
    EXPECT_EQ(ws.Curves.SmearedCurve, raw);  // no resolution: smeared = computed
    for (int i = 0; i < ws.Curves.PointCount; ++i) ws.Curves.MeasuredIntensity[i] = 7.0 * raw[i];

    ws.Fit.SkipFigureOfMerit = true;
    EvaluateCurve(ws, {});
    EXPECT_EQ(ws.Curves.CalculatedCurve, raw);

    ws.Fit.SkipFigureOfMerit = false;
    const double merit = EvaluateCurve(ws, {});
    EXPECT_NEAR(ws.Fit.ScaleUnsmeared, 7.0, 1e-12);
    EXPECT_NEAR(ws.Fit.ScaleSmeared, 7.0, 1e-12);
    EXPECT_NEAR(ws.Curves.CalculatedCurve[5], 7.0 * raw[5], 1e-12 * raw[5]);
    EXPECT_NEAR(merit, 0.0, 1e-20);
}

TEST(CurveEvaluation, CountsEveryEvaluationAndWrapsAtSixteenBits) {
    Workspace ws = MakeWorkspace(Multilayer(), AngleGrid(0.1, 1.0, 10));
    ws.Fit.SkipFigureOfMerit = true;
    ws.Fit.EvaluationCount = 65534;
    EvaluateCurve(ws, {});
    EXPECT_EQ(ws.Fit.EvaluationCount, 65535);
    EvaluateCurve(ws, {});
    EXPECT_EQ(ws.Fit.EvaluationCount, 0);
}

TEST(CurveEvaluation, ANonFiniteReflectivityFailsTheRunNamingMethodAndAngle) {
    // A thick gain medium (negative beta): the wave grows beyond the range of doubles.
    TestSample sample;
    sample.Top = {{1.0e6, 5e-6, -1e-3, 0.0}};
    sample.Substrate = SiliconLike();
    Workspace ws = MakeWorkspace(sample, {0.5, 1.0});
    ws.Fit.SkipFigureOfMerit = true;
    ws.Settings.CalculationMode = 'M';
    EXPECT_EQ(ErrorOf(ws),
              "Reflectivity is not a finite number (Matrix method at theta = 0.5 deg).");
    ws.Settings.CalculationMode = 'P';
    EXPECT_EQ(ErrorOf(ws),
              "Reflectivity is not a finite number (Parratt method at theta = 0.5 deg).");
}

TEST(CurveEvaluation, VacuumLikeLayersReflectNothingEvenAtGrazingIncidence) {
    // At theta = 0 a layer with delta = beta = 0 has f = 0 like the vacuum above it.
    TestSample sample;
    sample.Top = {{50.0, 0.0, 0.0, 3.0}};
    sample.Substrate = SiliconLike(2.0);
    TestSample bare;
    bare.Substrate = SiliconLike(2.0);
    for (char mode : {'P', 'M', 'F'}) {
        Workspace ws = MakeWorkspace(sample, {0.0, 0.1, 0.5});
        Workspace reference = MakeWorkspace(bare, {0.0, 0.1, 0.5});
        const auto curve = Simulate(ws, mode);
        const auto expected = Simulate(reference, mode);
        EXPECT_DOUBLE_EQ(curve[0], 1.0) << mode;
        EXPECT_NEAR(curve[1], expected[1], 1e-12) << mode;
    }
    TestSample vacuum;
    vacuum.Substrate = {0.0, 0.0, 0.0, 0.0};
    Workspace ws = MakeWorkspace(vacuum, {0.0, 0.3});
    EXPECT_EQ(Simulate(ws, 'M'), (std::vector<double>{0.0, 0.0}));
}

TEST(FresnelReflectivity, IsTotalAtGrazingIncidenceAndMatchesTheBareSubstrate) {
    TestSample sample = Multilayer();
    Workspace ws = MakeWorkspace(sample, {0.4});
    EXPECT_DOUBLE_EQ(FresnelReflectivity(ws, 1.0), 1.0);
    TestSample bare;
    bare.Substrate = SiliconLike();  // no roughness: Fresnel ignores it anyway
    const double c2 = CosSquaredOf(0.4);
    EXPECT_DOUBLE_EQ(FresnelReflectivity(ws, c2), ParrattReflectivity(MakeContext(bare), c2));
}

TEST(NormaliseWeights, PutsTheWeightsOnTheScaleOfTheMeasurement) {
    Workspace ws = MakeWorkspace(Multilayer(), {0.2, 0.4, 0.6});
    ws.Curves.MeasuredIntensity = {10.0, 4.0, 1.0};
    ws.Curves.Uncertainty = {1.0, 0.5, 0.25};
    ws.Settings.DataScaled = true;
    NormaliseWeights(ws);
    EXPECT_EQ(ws.Curves.Uncertainty, (std::vector<double>{1.0, 0.5, 0.25}));

    ws.Settings.DataScaled = false;
    NormaliseWeights(ws);
    const double factor = (10.0 + 2.0 + 0.25) / (1.0 + 0.25 + 0.0625);
    EXPECT_DOUBLE_EQ(ws.Curves.Uncertainty[0], factor);
    EXPECT_DOUBLE_EQ(ws.Curves.Uncertainty[2], 0.25 * factor);

    ws.Curves.Uncertainty = {0.0, 0.0, 0.0};
    EXPECT_THROW(NormaliseWeights(ws), RunError);
}
