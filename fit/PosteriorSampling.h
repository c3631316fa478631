#pragma once
// The posterior of the free parameters around a fit, sampled by the ensemble sampler:
// uniform priors inside the limits and the Gaussian likelihood of the weighted
// residuals, ln L = -chi^2 / 2 with chi^2 = figure of merit x degrees of freedom (the
// scale factor profiled out as in every evaluation). Values are reported in the units
// of the model file.

#include <string>
#include <vector>

#include "fit/EnsembleSampler.h"
#include "model/SearchMethod.h"

namespace korvel {

struct FitSession;
struct FitStop;
class FitObserver;

struct PosteriorParameter {
    int ModelIndex = 0;
    std::string Name;          // "Thickness:2"
    double Median = 0.0;
    double Lower68 = 0.0;      // 16th and 84th percentiles
    double Upper68 = 0.0;
    double Lower95 = 0.0;      // 2.5th and 97.5th percentiles
    double Upper95 = 0.0;
    double AutocorrelationTime = 0.0;  // steps; NaN when it cannot be estimated
};

struct PosteriorSample {
    std::vector<PosteriorParameter> Parameters;
    SamplerChain Chain;      // values in file units, one coordinate per free parameter
    int StepsAsked = 0;
    int Burn = 0;            // leading steps left out of the statistics
    double Acceptance = 0.0;
    // Fewer kept steps than 50 autocorrelation times (or a time that cannot be
    // estimated): the intervals are not to be trusted.
    bool ChainTooShort = false;
    bool Stopped = false;    // a request to end the search ended the sampling
};

// Kept steps per autocorrelation time below which a chain counts as too short.
inline constexpr double kStepsPerAutocorrelationTime = 50.0;

// Samples around the fit the session holds (after RunFit or RunGlobalFit: its search
// result's vertex). `options.McmcSteps` steps of `options.McmcWalkers` walkers (0: four
// per free parameter, at least 16), seeded from ws.Random; evaluations spread over
// ws.Options.Threads threads. Progress: Sampling records per step; EndSearch ends the
// sampling with the steps done. Throws RunError when there is nothing to sample.
PosteriorSample SamplePosterior(FitSession& ws, const SearchOptions& options,
                                FitObserver& observer, FitStop& stop);

}  // namespace korvel
