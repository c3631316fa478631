#pragma once
// The affine-invariant ensemble sampler with the stretch move (Goodman and Weare 2010,
// Comm. App. Math. Comp. Sci. 5, 65): walkers move along the line through another
// walker, stretched by z with density g(z) ~ 1/sqrt(z) on [1/a, a], and are accepted
// with probability min(1, z^(n-1) p(y) / p(x)). The ensemble is split in two halves and
// each half moves against the other (Foreman-Mackey et al. 2013), so that the
// proposals of one half form one batch, evaluated in parallel. Every random number is
// drawn on the calling thread: a seed gives the same chain whatever the batch does.
// Also the statistics of a chain: quantiles and the integrated autocorrelation time.

#include <cstdint>
#include <functional>
#include <vector>

#include "fit/PopulationEvaluator.h"

namespace korvel {

// Fills logDensity[i] with ln p(points[i]) up to a constant; -infinity outside the
// support.
using BatchLogDensity =
    std::function<void(const Population& points, std::vector<double>& logDensity)>;

struct SamplerSettings {
    int Steps = 1000;
    double StretchScale = 2.0;  // a
    std::uint64_t Seed = 0;
};

// The positions of every walker after every step: Points[(step * walkers + w) * dim + k].
struct SamplerChain {
    int Walkers = 0;
    int Dimension = 0;
    int Steps = 0;  // steps done (fewer than asked when stopped)
    std::vector<double> Points;
    std::vector<double> LogDensity;  // [step * walkers + w]
    std::uint64_t Proposed = 0;
    std::uint64_t Accepted = 0;

    double At(int step, int walker, int k) const {
        return Points[(static_cast<std::size_t>(step) * Walkers + walker) * Dimension + k];
    }
    double AcceptanceFraction() const {
        return Proposed == 0 ? 0.0 : static_cast<double>(Accepted) / static_cast<double>(Proposed);
    }
};

// After each step (1-based), with the acceptance fraction so far; true ends the run.
using SamplerStepCallback = std::function<bool(int step, double acceptance)>;

// Runs from `start` (an even number of walkers, at least 4, each with a finite log
// density). Throws std::invalid_argument for an unusable start.
SamplerChain RunEnsembleSampler(const Population& start, const SamplerSettings& settings,
                                const BatchLogDensity& logDensity,
                                const SamplerStepCallback& onStep);

// The q-quantile (0..1) of coordinate k over the steps from `burn` on, all walkers
// pooled, linearly interpolated between order statistics.
double ChainQuantile(const SamplerChain& chain, int k, int burn, double q);
// Mean and covariance of the pooled samples from `burn` on (covariance row-major).
std::vector<double> ChainMean(const SamplerChain& chain, int burn);
std::vector<double> ChainCovariance(const SamplerChain& chain, int burn);
// The integrated autocorrelation time of coordinate k, in steps: 1 + 2 sum of the
// walkers' mean normalised autocorrelation, summed up to the first lag M with
// M >= 5 tau(M) (Sokal's automatic window). NaN when the chain is constant.
double IntegratedAutocorrelationTime(const SamplerChain& chain, int k, int burn);

}  // namespace korvel
