#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "EngineTestModels.h"
#include "base/RunError.h"
#include "engine/BatchBlock.h"
#include "engine/BatchKernel.h"
#include "fit/CurveEvaluation.h"
#include "engine/FourierMethod.h"
#include "engine/MatrixMethod.h"
#include "engine/OpticalStack.h"
#include "engine/Parratt.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr double kAgreement = 1e-10;

struct Comparison {
    double WorstRelative = 0.0;
    double WorstAngle = 0.0;
    int NonFinite = 0;          // points where both paths give a non-finite value
    int FinitenessDiffers = 0;  // points where only one of them does
};

double ReferenceOf(const EvaluationContext& context, char mode, double c2) {
    if (mode == 'M') return MatrixReflectivity(context, c2);
    if (mode == 'F' && FourierApplies(context, c2)) return FourierReflectivity(context, c2);
    return ParrattReflectivity(context, c2);
}

std::vector<double> Batch(const EvaluationContext& context, char mode,
                          const std::vector<double>& c2, unsigned threads,
                          EngineCacheState& state) {
    std::vector<double> r(c2.size(), -1.0);
    BatchReflectivity(context, mode, c2, r, state, threads);
    return r;
}

std::vector<double> CosSquaredOfAll(const std::vector<double>& angles) {
    std::vector<double> c2;
    for (double a : angles) c2.push_back(CosSquaredOf(a));
    return c2;
}

// Largest relative difference between batch and reference over the angles.
Comparison Compare(const TestSample& sample, char mode, const std::vector<double>& angles,
                   unsigned threads = 1) {
    EvaluationContext context = MakeContext(sample);
    if (mode == 'F') FourierSetup(context);
    EngineCacheState state;
    const std::vector<double> c2 = CosSquaredOfAll(angles);
    const std::vector<double> batch = Batch(context, mode, c2, threads, state);
    Comparison result;
    for (std::size_t i = 0; i < c2.size(); ++i) {
        const double reference = ReferenceOf(context, mode, c2[i]);
        if (!std::isfinite(batch[i]) || !std::isfinite(reference)) {
            if (std::isfinite(batch[i]) != std::isfinite(reference))
                ++result.FinitenessDiffers;
            else
                ++result.NonFinite;
            continue;
        }
        const double relative =
            batch[i] == reference ? 0.0 : std::fabs(batch[i] - reference) / std::fabs(reference);
        if (!(relative <= result.WorstRelative)) {
            result.WorstRelative = relative;
            result.WorstAngle = angles[i];
        }
    }
    return result;
}

void ExpectAgreement(const TestSample& sample, const std::vector<double>& angles,
                     const std::string& label) {
    for (char mode : {'P', 'M', 'F'}) {
        const Comparison c = Compare(sample, mode, angles);
        EXPECT_LE(c.WorstRelative, kAgreement)
            << label << ", mode " << mode << ", worst at theta = " << c.WorstAngle;
        EXPECT_EQ(c.FinitenessDiffers, 0) << label << ", mode " << mode;
    }
}

TestLayer RandomLayer(std::mt19937_64& random, bool rough) {
    std::uniform_real_distribution<double> thickness(1.0, 150.0);
    std::uniform_real_distribution<double> delta(1e-7, 3e-5);
    std::uniform_real_distribution<double> beta(0.0, 3e-6);
    std::uniform_real_distribution<double> roughness(0.5, 10.0);
    TestLayer layer{thickness(random), delta(random), beta(random),
                    rough ? roughness(random) : 0.0};
    if (random() % 4 == 0) layer.Beta = 0.0;
    if (rough && random() % 5 == 0) layer.Roughness = 0.0;
    return layer;
}

TestSample RandomSample(std::mt19937_64& random, int repeats, bool rough) {
    TestSample sample;
    for (int i = static_cast<int>(random() % 5); i > 0; --i)
        sample.Top.push_back(RandomLayer(random, rough));
    for (int i = 1 + static_cast<int>(random() % 4); i > 0; --i)
        sample.Unit.push_back(RandomLayer(random, rough));
    for (int i = static_cast<int>(random() % 4); i > 0; --i)
        sample.Bottom.push_back(RandomLayer(random, rough));
    sample.RepeatCount = repeats;
    sample.Substrate = RandomLayer(random, rough);
    sample.Substrate.Thickness = 0.0;
    return sample;
}

TestSample Film() {
    TestSample sample;
    sample.Top = {{100.0, 4e-6, 1e-7, 3.0}};
    sample.Substrate = SiliconLike(3.0);
    return sample;
}

TestSample Periodic(int repeats) {
    TestSample sample;
    sample.Unit = {{20.0, 8e-6, 5e-7, 3.0}, {30.0, 3e-6, 1e-8, 3.0}};
    sample.RepeatCount = repeats;
    sample.Substrate = SiliconLike(3.0);
    return sample;
}

}  // namespace

TEST(BatchKernel, AgreesWithTheReferenceOnRandomStacksInAllModes) {
    std::mt19937_64 random(20240611);
    const std::vector<double> angles = AngleGrid(0.0, 6.0, 300);
    const int repeats[] = {0, 1, 2, 3, 7, 40, 255};
    for (int trial = 0; trial < 28; ++trial) {
        const bool rough = trial % 2 == 0;
        const TestSample sample = RandomSample(random, repeats[trial % 7], rough);
        ExpectAgreement(sample, angles, "trial " + std::to_string(trial));
    }
}

TEST(BatchKernel, AgreesOnTheBenchmarkModels) {
    const std::vector<double> angles = AngleGrid(0.01, 5.0, 999);
    TestSample layered;
    for (int i = 0; i < 20; ++i)
        layered.Top.push_back({10.0 + 2.0 * i, (i % 2 == 0 ? 8e-6 : 3e-6) + 5e-8 * i, 1e-7, 3.0});
    layered.Substrate = SiliconLike(3.0);
    ExpectAgreement(Film(), angles, "one layer");
    ExpectAgreement(layered, angles, "twenty layers");
    ExpectAgreement(Periodic(100), angles, "100 periods");
    ExpectAgreement(Periodic(255), angles, "255 periods");
}

TEST(BatchKernel, AgreesOnTheBranchCases) {
    const std::vector<double> fine = AngleGrid(0.0, 0.6, 600);
    // No absorption anywhere: below the critical angles every f is -i sqrt|w|.
    TestSample clear;
    clear.Top = {{40.0, 6e-6, 0.0, 4.0}};
    clear.Unit = {{20.0, 8e-6, 0.0, 3.0}, {30.0, 3e-6, 0.0, 0.0}};
    clear.RepeatCount = 12;
    clear.Bottom = {{15.0, 2e-5, 0.0, 2.0}};
    clear.Substrate = {0.0, 7.6e-6, 0.0, 5.0};
    ExpectAgreement(clear, fine, "no absorption");
    TestSample negativeZeros = clear;  // beta written as -0
    for (TestLayer* layer : {&negativeZeros.Top[0], &negativeZeros.Unit[0], &negativeZeros.Unit[1],
                             &negativeZeros.Bottom[0]})
        layer->Beta = -0.0;
    negativeZeros.Substrate.Beta = -0.0;
    ExpectAgreement(negativeZeros, fine, "no absorption, negative zeros");
    // The roughness root of a product A B on the negative real axis: one medium
    // above and one below its first-order critical angle, both without absorption.
    TestSample straddle;
    straddle.Top = {{50.0, 1e-6, 0.0, 6.0}};
    straddle.Substrate = {0.0, 2e-5, 0.0, 6.0};
    ExpectAgreement(straddle, fine, "straddling critical angles");
    // The same around an absorbing layer, and with gain (beta < 0) on one or both
    // sides, where the roots of A and B lie in other half-planes.
    int pair = 0;
    for (const double top : {3e-7, -3e-7})
        for (const double bottom : {0.0, 2e-7, -2e-7}) {
            TestSample mixed;
            mixed.Top = {{80.0, 1e-6, top, 6.0}, {60.0, 2.2e-5, bottom, 5.0}};
            mixed.Substrate = {0.0, 4e-6, bottom, 6.0};
            ExpectAgreement(mixed, fine, "absorption pair " + std::to_string(pair++));
        }
    // A vacuum-like layer on a vacuum-like substrate at theta = 0: no contrast.
    TestSample vacuum;
    vacuum.Top = {{30.0, 0.0, 0.0, 2.0}};
    vacuum.Substrate = {0.0, 0.0, 0.0, 2.0};
    ExpectAgreement(vacuum, {0.0, 0.1, 1.0}, "vacuum");
}

TEST(BatchKernel, AgreesForEveryRepeatCountAndUnitWithoutThickness) {
    const std::vector<double> angles = AngleGrid(0.0, 4.0, 120);
    for (int repeats : {0, 1, 2, 3, 254, 255}) {
        TestSample sample = Periodic(repeats);
        sample.Top = {{25.0, 5e-6, 2e-7, 2.0}};
        sample.Bottom = {{60.0, 1e-5, 1e-6, 1.0}};
        ExpectAgreement(sample, angles, "N = " + std::to_string(repeats));
    }
    // A unit of zero thickness raised to a power: the period matrix is the identity
    // (S = 0) and the Fourier sum of the unit vanishes.
    TestSample flat = Periodic(5);
    flat.Unit = {{0.0, 8e-6, 0.0, 0.0}, {0.0, 3e-6, 0.0, 0.0}};
    ExpectAgreement(flat, angles, "unit without thickness");
}

// Layers of 1e7 angstrom: their phase angles lie far beyond the exact range of the
// kernel's sine, but where the layers absorb, their phase factors are so small that
// nothing below them counts, and the kernel computes every point itself.
TEST(BatchKernel, OpaqueThickLayersAreComputedInTheKernelAndAgree) {
    TestSample periods = Periodic(255);
    periods.Top = {{25.0, 5e-6, 2e-7, 2.0}};
    periods.Unit[0].Thickness = 1e7;
    periods.Unit[1] = {1e7, 3e-6, 1e-7, 3.0};
    TestSample blocks = Film();
    blocks.Top.push_back({1e7, 2e-5, 1e-6, 4.0});
    blocks.Bottom = {{1e7, 8e-6, 5e-7, 3.0}, {50.0, 3e-6, 1e-8, 2.0}};
    const std::vector<double> angles = AngleGrid(0.0, 3.0, 300);
    for (const TestSample& sample : {periods, blocks}) {
        ExpectAgreement(sample, angles, sample.RepeatCount != 0 ? "periods" : "blocks");
        const EvaluationContext context = MakeContext(sample);
        batch::StackConstants constants;
        batch::BuildStackConstants(context, false, constants);
        batch::BlockScratch scratch;
        scratch.Reserve(constants);
        int unreliable = 0;
        for (std::size_t first = 0; first < angles.size(); first += batch::kLanes) {
            for (int i = 0; i < batch::kLanes; ++i)
                scratch.CosSquared.v[i] =
                    CosSquaredOf(angles[std::min(first + i, angles.size() - 1)]);
            batch::ParrattBlock(constants, scratch);
            for (int i = 0; i < batch::kLanes; ++i) unreliable += scratch.Unreliable.v[i] != 0.0;
        }
        EXPECT_EQ(unreliable, 0) << sample.RepeatCount;
    }
}

TEST(BatchKernel, AgreesAtTheMultilayerBraggPeaksInFourierMode) {
    // Points packed around the first three Bragg peaks, where the closed-form sum of
    // the periods divides by nearly zero.
    TestSample sample = Periodic(40);
    std::vector<double> angles;
    for (double peak : {1.77, 3.55, 5.32})
        for (double d = -0.02; d <= 0.02; d += 0.0001) angles.push_back(peak + d);
    const Comparison c = Compare(sample, 'F', angles);
    EXPECT_LE(c.WorstRelative, kAgreement) << "worst at theta = " << c.WorstAngle;
}

TEST(BatchKernel, ResultsDoNotDependOnTheThreadCount) {
    TestSample sample = Periodic(100);
    sample.Top = {{25.0, 5e-6, 2e-7, 2.0}};
    const std::vector<double> c2 = CosSquaredOfAll(AngleGrid(0.0, 6.0, 4000));
    for (char mode : {'P', 'M', 'F'}) {
        EvaluationContext context = MakeContext(sample);
        FourierSetup(context);
        EngineCacheState state;
        const std::vector<double> one = Batch(context, mode, c2, 1, state);
        EXPECT_EQ(Batch(context, mode, c2, 2, state), one) << mode;
        EXPECT_EQ(Batch(context, mode, c2, 3, state), one) << mode;
        EngineCacheState other;
        EXPECT_EQ(Batch(context, mode, c2, 0, other), one) << mode;
    }
}

TEST(BatchKernel, PointsInAnyOrderGiveTheSameValues) {
    // Shuffled points put Fourier and low-angle Parratt points into the same blocks
    // of mode F; every point must still get exactly the value it gets in a sorted
    // curve, and the reference's value to rounding.
    TestSample sample = Periodic(40);
    sample.Top = {{25.0, 5e-6, 2e-7, 2.0}};
    const std::vector<double> angles = AngleGrid(0.0, 6.0, 500);
    std::vector<int> order(angles.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::shuffle(order.begin(), order.end(), std::mt19937_64(7));
    std::vector<double> shuffled;
    for (int i : order) shuffled.push_back(angles[i]);
    for (char mode : {'P', 'M', 'F'}) {
        EvaluationContext context = MakeContext(sample);
        FourierSetup(context);
        EngineCacheState state;
        const std::vector<double> sorted = Batch(context, mode, CosSquaredOfAll(angles), 1, state);
        const std::vector<double> mixed = Batch(context, mode, CosSquaredOfAll(shuffled), 2, state);
        for (std::size_t k = 0; k < order.size(); ++k)
            ASSERT_EQ(mixed[k], sorted[order[k]]) << mode << " at theta = " << shuffled[k];
        EXPECT_LE(Compare(sample, mode, shuffled).WorstRelative, kAgreement) << mode;
    }
}

TEST(BatchKernel, EvaluateCurveGivesTheReferencePathsCurve) {
    TestSample sample = Periodic(30);
    sample.Top = {{25.0, 5e-6, 2e-7, 2.0}};
    for (char mode : {'P', 'M', 'F'}) {
        Workspace batch = MakeWorkspace(sample, AngleGrid(0.0, 5.0, 700));
        batch.Settings.CalculationMode = mode;
        batch.Settings.CutOffLevel = 1e-6;
        batch.Fit.SkipFigureOfMerit = true;
        Workspace reference = batch;
        reference.Options.ReferenceEngine = true;
        EvaluateCurve(batch, {});
        EvaluateCurve(reference, {});
        int floored = 0;
        for (int i = 0; i < batch.Curves.PointCount; ++i) {
            const double expected = reference.Curves.CalculatedCurve[i];
            EXPECT_NEAR(batch.Curves.CalculatedCurve[i], expected, expected * kAgreement) << i;
            if (expected == 1e-6) {
                ++floored;
                EXPECT_EQ(batch.Curves.CalculatedCurve[i], 1e-6);
            }
        }
        EXPECT_GT(floored, 0) << mode;
    }
}

TEST(BatchKernel, ACopiedWorkspaceGetsItsOwnEngineCache) {
    Workspace ws = MakeWorkspace(Film(), AngleGrid(0.0, 3.0, 100));
    ws.Fit.SkipFigureOfMerit = true;
    EvaluateCurve(ws, {});
    Workspace copy = ws;
    EXPECT_NE(&copy.Engine.State(), &ws.Engine.State());
    EXPECT_TRUE(copy.Engine.State().Reflectivity.empty());
    EvaluateCurve(copy, {});
    EXPECT_EQ(copy.Curves.CalculatedCurve, ws.Curves.CalculatedCurve);
    Workspace moved = std::move(copy);
    EvaluateCurve(moved, {});
    EXPECT_EQ(moved.Curves.CalculatedCurve, ws.Curves.CalculatedCurve);
}

TEST(BatchKernel, ANonFiniteReflectivityStillFailsTheRunNamingMethodAndAngle) {
    // Gain so strong that the phase factors overflow at every point.
    TestSample sample;
    sample.Top = {{5000.0, 2e-5, -0.5, 0.0}};
    sample.Substrate = SiliconLike();
    for (char mode : {'P', 'M'}) {
        Workspace ws = MakeWorkspace(sample, AngleGrid(0.5, 1.0, 40));
        ws.Settings.CalculationMode = mode;
        ws.Fit.SkipFigureOfMerit = true;
        try {
            EvaluateCurve(ws, {});
            ADD_FAILURE() << "no error in mode " << mode;
        } catch (const RunError& error) {
            const std::string method = mode == 'P' ? "Parratt" : "Matrix";
            EXPECT_EQ(error.Message(), "Reflectivity is not a finite number (" + method +
                                           " method at theta = 0.5 deg).");
        }
    }
}
