#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "EngineTestModels.h"
#include "app/RunError.h"
#include "engine/BatchKernel.h"
#include "engine/CurveEvaluation.h"
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
    int NonFinite = 0;       // points where both paths give a non-finite value
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
        const double relative = std::fabs(batch[i] - reference) / std::fabs(reference);
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
