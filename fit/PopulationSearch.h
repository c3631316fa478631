#pragma once
// What every population search shares: its settings, the report after each
// generation (which may end the search), and its result. The searches work on the
// unit cube [0, 1]^n and take the objective as a batch function, so they can be run
// on any function as well as on the figure of merit of a fit.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "fit/PopulationEvaluator.h"
#include "model/SearchMethod.h"

namespace korvel {

struct PopulationSettings {
    SearchMethod Method = SearchMethod::SelfAdaptiveDe;
    int Population = 0;    // 0: DefaultPopulation
    int Generations = 0;   // 0: DefaultGenerations
    // The search has converged when the population's figures of merit lie within this
    // relative distance of the best one: worst - best <= Tolerance * |best|.
    double Tolerance = 1e-6;
    std::uint64_t Seed = 0;  // random numbers of the search
};

int DefaultPopulation(SearchMethod method, int dimension);
int DefaultGenerations(SearchMethod method);

// After each generation (0: the initial population): the best figure of merit found
// so far, the median of the current population, the best member (unit cube). Returns
// true to end the search there.
struct GenerationReport {
    int Generation = 0;
    double BestMerit = 0.0;
    double MedianMerit = 0.0;
    std::span<const double> BestMember;
};
using GenerationCallback = std::function<bool(const GenerationReport&)>;

struct PopulationResult {
    std::vector<double> BestMember;  // unit cube
    double BestMerit = 0.0;
    int Generations = 0;        // generations after the initial population
    bool Converged = false;     // ended by the tolerance
    bool Stopped = false;       // ended by the callback
};

// The median of a non-empty list of figures of merit.
double MedianOf(std::vector<double> merits);

// Runs the method of `settings` (not Tunnelling) on the objective over [0, 1]^dimension.
// The same seed gives the same search, however the objective spreads its batches.
PopulationResult RunPopulationSearch(int dimension, const PopulationSettings& settings,
                                     const BatchObjective& objective,
                                     const GenerationCallback& onGeneration);

// The differential evolution variants alone (written here: they evaluate each
// generation's trial vectors as one batch).
PopulationResult RunDifferentialEvolution(int dimension, const PopulationSettings& settings,
                                          const BatchObjective& objective,
                                          const GenerationCallback& onGeneration);
// CMA-ES and the generational particle swarm, from the optimiser library.
PopulationResult RunLibrarySearch(int dimension, const PopulationSettings& settings,
                                  const BatchObjective& objective,
                                  const GenerationCallback& onGeneration);

}  // namespace korvel
