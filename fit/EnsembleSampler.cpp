// The stretch-move ensemble sampler and the statistics of its chain.

#include "fit/EnsembleSampler.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

namespace korvel {

namespace {

double Uniform(std::mt19937_64& random) {
    return static_cast<double>(random() >> 11) * 0x1.0p-53;  // [0, 1)
}

// z with density proportional to 1/sqrt(z) on [1/a, a]: z = ((a - 1) u + 1)^2 / a.
double Stretch(std::mt19937_64& random, double a) {
    const double root = (a - 1.0) * Uniform(random) + 1.0;
    return root * root / a;
}

constexpr double kWindowFactor = 5.0;  // Sokal's c

}  // namespace

SamplerChain RunEnsembleSampler(const Population& start, const SamplerSettings& settings,
                                const BatchLogDensity& logDensity,
                                const SamplerStepCallback& onStep) {
    const int walkers = static_cast<int>(start.size());
    if (walkers < 4 || walkers % 2 != 0)
        throw std::invalid_argument("the ensemble needs an even number of walkers, at least 4");
    const int dim = static_cast<int>(start[0].size());
    if (dim < 1) throw std::invalid_argument("the ensemble needs at least one coordinate");
    if (!(settings.StretchScale > 1.0))
        throw std::invalid_argument("the stretch scale must be above 1");

    std::mt19937_64 random(settings.Seed);
    Population positions = start;
    std::vector<double> current;
    logDensity(positions, current);
    for (double value : current)
        if (!std::isfinite(value))
            throw std::invalid_argument("a walker starts where the density is zero");

    SamplerChain chain;
    chain.Walkers = walkers;
    chain.Dimension = dim;
    chain.Points.reserve(static_cast<std::size_t>(settings.Steps) * walkers * dim);
    chain.LogDensity.reserve(static_cast<std::size_t>(settings.Steps) * walkers);

    const int half = walkers / 2;
    const double a = settings.StretchScale;
    Population proposals(half, std::vector<double>(dim));
    std::vector<double> stretches(half);
    std::vector<double> proposalDensity;
    for (int step = 1; step <= settings.Steps; ++step) {
        for (int part = 0; part < 2; ++part) {
            const int first = part * half;
            const int other = (1 - part) * half;
            for (int i = 0; i < half; ++i) {
                const std::vector<double>& x = positions[first + i];
                const std::vector<double>& partner =
                    positions[other + static_cast<int>(Uniform(random) * half)];
                const double z = Stretch(random, a);
                stretches[i] = z;
                for (int k = 0; k < dim; ++k) proposals[i][k] = partner[k] + z * (x[k] - partner[k]);
            }
            logDensity(proposals, proposalDensity);
            for (int i = 0; i < half; ++i) {
                const int w = first + i;
                const double logRatio =
                    (dim - 1) * std::log(stretches[i]) + proposalDensity[i] - current[w];
                const double u = Uniform(random);
                ++chain.Proposed;
                // NaN or -infinity (outside the support) is never accepted.
                if (std::isfinite(proposalDensity[i]) && std::log(u) < logRatio) {
                    positions[w] = proposals[i];
                    current[w] = proposalDensity[i];
                    ++chain.Accepted;
                }
            }
        }
        for (int w = 0; w < walkers; ++w) {
            chain.Points.insert(chain.Points.end(), positions[w].begin(), positions[w].end());
            chain.LogDensity.push_back(current[w]);
        }
        chain.Steps = step;
        if (onStep && onStep(step, chain.AcceptanceFraction())) break;
    }
    return chain;
}

double ChainQuantile(const SamplerChain& chain, int k, int burn, double q) {
    std::vector<double> values;
    for (int s = std::max(0, burn); s < chain.Steps; ++s)
        for (int w = 0; w < chain.Walkers; ++w) values.push_back(chain.At(s, w, k));
    if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    const double position = std::clamp(q, 0.0, 1.0) * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, values.size() - 1);
    const double t = position - static_cast<double>(below);
    return values[below] + t * (values[above] - values[below]);
}

std::vector<double> ChainMean(const SamplerChain& chain, int burn) {
    const int dim = chain.Dimension;
    std::vector<double> mean(dim, 0.0);
    std::size_t count = 0;
    for (int s = std::max(0, burn); s < chain.Steps; ++s)
        for (int w = 0; w < chain.Walkers; ++w, ++count)
            for (int k = 0; k < dim; ++k) mean[k] += chain.At(s, w, k);
    for (double& m : mean) m /= static_cast<double>(std::max<std::size_t>(count, 1));
    return mean;
}

std::vector<double> ChainCovariance(const SamplerChain& chain, int burn) {
    const int dim = chain.Dimension;
    const std::vector<double> mean = ChainMean(chain, burn);
    std::vector<double> covariance(static_cast<std::size_t>(dim) * dim, 0.0);
    std::size_t count = 0;
    for (int s = std::max(0, burn); s < chain.Steps; ++s)
        for (int w = 0; w < chain.Walkers; ++w, ++count)
            for (int i = 0; i < dim; ++i)
                for (int j = 0; j < dim; ++j)
                    covariance[i * dim + j] +=
                        (chain.At(s, w, i) - mean[i]) * (chain.At(s, w, j) - mean[j]);
    for (double& c : covariance) c /= static_cast<double>(std::max<std::size_t>(count, 2) - 1);
    return covariance;
}

double IntegratedAutocorrelationTime(const SamplerChain& chain, int k, int burn) {
    const int first = std::max(0, burn);
    const int n = chain.Steps - first;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (n < 2) return nan;
    // Each walker's series about its own mean; the autocovariances are averaged over the
    // walkers and normalised by the mean variance.
    std::vector<std::vector<double>> series(chain.Walkers, std::vector<double>(n));
    for (int w = 0; w < chain.Walkers; ++w) {
        double mean = 0.0;
        for (int t = 0; t < n; ++t) mean += series[w][t] = chain.At(first + t, w, k);
        mean /= n;
        for (double& x : series[w]) x -= mean;
    }
    auto autocovariance = [&](int lag) {
        double sum = 0.0;
        for (const auto& x : series)
            for (int t = 0; t + lag < n; ++t) sum += x[t] * x[t + lag];
        return sum / (static_cast<double>(n) * chain.Walkers);
    };
    const double variance = autocovariance(0);
    if (!(variance > 0.0)) return nan;
    double tau = 1.0;
    for (int lag = 1; lag < n; ++lag) {
        tau += 2.0 * autocovariance(lag) / variance;
        if (lag >= kWindowFactor * tau) return tau;
    }
    return tau;  // the window never closed: the chain is far too short, and this says so
}

}  // namespace korvel
