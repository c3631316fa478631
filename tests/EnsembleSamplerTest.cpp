// The stretch-move sampler on targets whose answers are known.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "fit/EnsembleSampler.h"

namespace korvel {
namespace {

// A correlated two-dimensional Gaussian and an independent third coordinate.
constexpr double kMean[3] = {1.0, -2.0, 0.5};
constexpr double kCovariance[3][3] = {{1.0, 0.6, 0.0}, {0.6, 2.0, 0.0}, {0.0, 0.0, 0.04}};

double GaussianLogDensity(const std::vector<double>& x) {
    // Inverse of the 2x2 block and of the third variance.
    const double det = kCovariance[0][0] * kCovariance[1][1] - kCovariance[0][1] * kCovariance[1][0];
    const double a = kCovariance[1][1] / det;
    const double b = -kCovariance[0][1] / det;
    const double c = kCovariance[0][0] / det;
    const double d0 = x[0] - kMean[0];
    const double d1 = x[1] - kMean[1];
    const double d2 = x[2] - kMean[2];
    return -0.5 * (a * d0 * d0 + 2.0 * b * d0 * d1 + c * d1 * d1 + d2 * d2 / kCovariance[2][2]);
}

const BatchLogDensity kGaussian = [](const Population& points, std::vector<double>& out) {
    out.clear();
    for (const auto& x : points) out.push_back(GaussianLogDensity(x));
};

// Walkers in a small random ball: the stretch move keeps the ensemble in the affine
// span of its start, so the start must not lie in a lower-dimensional subspace.
Population Ball(int walkers, int dimension = 3, double centre = 0.0, double radius = 0.01) {
    std::mt19937_64 random(1);
    std::normal_distribution<double> normal;
    Population start(walkers, std::vector<double>(dimension));
    for (auto& walker : start)
        for (double& x : walker) x = centre + radius * normal(random);
    return start;
}

TEST(EnsembleSampler, RecoversTheMeanAndCovarianceOfAGaussian) {
    SamplerSettings settings;
    settings.Steps = 4000;
    settings.Seed = 11;
    const SamplerChain chain = RunEnsembleSampler(Ball(24), settings, kGaussian, {});
    const int burn = 500;
    const std::vector<double> mean = ChainMean(chain, burn);
    const std::vector<double> covariance = ChainCovariance(chain, burn);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(mean[i], kMean[i], 0.08 * std::sqrt(kCovariance[i][i])) << i;
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(covariance[i * 3 + j], kCovariance[i][j],
                        0.12 * std::sqrt(kCovariance[i][i] * kCovariance[j][j]))
                << i << "," << j;
    }
    // Quantiles of a Gaussian: the median at the mean, 68 % within one deviation.
    EXPECT_NEAR(ChainQuantile(chain, 2, burn, 0.5), kMean[2], 0.02);
    EXPECT_NEAR(ChainQuantile(chain, 2, burn, 0.8413447460685429) -
                    ChainQuantile(chain, 2, burn, 0.15865525393145707),
                2.0 * 0.2, 0.04);
    const double acceptance = chain.AcceptanceFraction();
    EXPECT_GT(acceptance, 0.3);
    EXPECT_LT(acceptance, 0.9);
    const double tau = IntegratedAutocorrelationTime(chain, 0, burn);
    EXPECT_GT(tau, 1.0);
    EXPECT_LT(tau, 100.0);
}

TEST(EnsembleSampler, TheSameSeedGivesTheSameChainAndPointsOutsideTheSupportAreNeverTaken) {
    // A uniform density on the unit square.
    const BatchLogDensity square = [](const Population& points, std::vector<double>& out) {
        out.clear();
        for (const auto& x : points)
            out.push_back(x[0] >= 0 && x[0] <= 1 && x[1] >= 0 && x[1] <= 1
                              ? 0.0
                              : -std::numeric_limits<double>::infinity());
    };
    const Population start = Ball(8, 2, 0.5, 0.1);
    SamplerSettings settings;
    settings.Steps = 300;
    settings.Seed = 3;
    const SamplerChain first = RunEnsembleSampler(start, settings, square, {});
    const SamplerChain second = RunEnsembleSampler(start, settings, square, {});
    EXPECT_EQ(first.Points, second.Points);
    for (double x : first.Points) {
        EXPECT_GE(x, 0.0);
        EXPECT_LE(x, 1.0);
    }
    // Uniform on [0, 1]: the quartiles come out near 1/4 and 3/4.
    EXPECT_NEAR(ChainQuantile(first, 0, 50, 0.25), 0.25, 0.06);
    EXPECT_NEAR(ChainQuantile(first, 0, 50, 0.75), 0.75, 0.06);
}

TEST(EnsembleSampler, AStepCallbackEndsTheRunAndABadStartIsRefused) {
    SamplerSettings settings;
    settings.Steps = 100;
    const SamplerChain chain =
        RunEnsembleSampler(Ball(8), settings, kGaussian, [](int step, double) { return step == 7; });
    EXPECT_EQ(chain.Steps, 7);
    EXPECT_EQ(chain.Points.size(), 7u * 8u * 3u);
    EXPECT_THROW(RunEnsembleSampler(Ball(7), settings, kGaussian, {}), std::invalid_argument);
    const BatchLogDensity nowhere = [](const Population& points, std::vector<double>& out) {
        out.assign(points.size(), -std::numeric_limits<double>::infinity());
    };
    EXPECT_THROW(RunEnsembleSampler(Ball(8), settings, nowhere, {}), std::invalid_argument);
}

}  // namespace
}  // namespace korvel
