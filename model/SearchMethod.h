#pragma once
// How a fit searches for the minimum: the tunnelling search between local simplex runs
// (the default), or a population search inside the limits (differential evolution in
// its variants, CMA-ES, particle swarm) whose best member the local simplex polishes.
// Also the posterior sampling that may follow a fit.

#include <optional>
#include <string_view>

namespace korvel {

enum class SearchMethod {
    Tunnelling,            // local simplex runs alternating with tunnelling steps
    SelfAdaptiveDe,        // differential evolution, rand/1/bin, F and CR self-adapted (jDE)
    DeRand1Bin,            // differential evolution, rand/1/bin, F = 0.8, CR = 0.9
    DeBest1Bin,            // best/1/bin, F = 0.8, CR = 0.9
    DeCurrentToBest1Bin,   // current-to-best/1/bin, F = 0.8, CR = 0.9
    CmaEs,                 // covariance matrix adaptation evolution strategy
    ParticleSwarm,         // generational particle swarm
};

struct SearchOptions {
    SearchMethod Method = SearchMethod::Tunnelling;
    int Population = 0;    // members; 0: chosen from the number of free parameters
    int Generations = 0;   // at most this many; 0: the method's default
    int McmcSteps = 0;     // steps of the posterior sampler after the fit; 0: none
    int McmcWalkers = 0;   // walkers of the sampler; 0: chosen from the free parameters
};

// The short name used on the command line and in reports ("tunnelling", "de", "cmaes",
// "pso", "de-rand1bin", ...), and back; nullopt for an unknown name.
std::string_view SearchMethodName(SearchMethod method);
std::optional<SearchMethod> SearchMethodFromName(std::string_view name);
// A sentence naming the method for people ("self-adaptive differential evolution").
std::string_view SearchMethodDescription(SearchMethod method);

}  // namespace korvel
