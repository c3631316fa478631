// CMA-ES (Hansen and Ostermeier 2001) and the generational particle swarm from the
// optimiser library, run one generation per call with their adapted state kept
// between calls, so that progress can be reported and a stop request read after each
// generation. The swarm hands each generation to the batch objective as a whole; the
// library's CMA-ES evaluates its members one by one.

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <utility>

// The optimiser library is built without AddressSanitizer, and there Eigen relies on
// glibc's 16-byte aligned malloc. Under the sanitizer Eigen assumes malloc is not aligned
// and would free the library's matrices (allocated inside the library, freed by the
// destructors inlined here) as if it had aligned them itself: keep the library's choice.
#if defined(__SANITIZE_ADDRESS__) && !defined(EIGEN_MALLOC_ALREADY_ALIGNED)
#define EIGEN_MALLOC_ALREADY_ALIGNED 1
#endif
#include <pagmo/algorithms/cmaes.hpp>
#include <pagmo/algorithms/pso_gen.hpp>
#include <pagmo/batch_evaluators/member_bfe.hpp>
#include <pagmo/bfe.hpp>
#include <pagmo/population.hpp>
#include <pagmo/problem.hpp>
#include <pagmo/threading.hpp>

#include "fit/PopulationSearch.h"

namespace korvel {

namespace {

// The unit cube with the batch objective behind it. It is called from the thread that
// runs the search only (the objective spreads its own batches).
struct UnitCubeProblem {
    std::size_t Dimension = 1;
    const BatchObjective* Evaluate = nullptr;

    pagmo::vector_double fitness(const pagmo::vector_double& x) const {
        Population one{x};
        std::vector<double> merit;
        (*Evaluate)(one, merit);
        return {merit[0]};
    }
    pagmo::vector_double batch_fitness(const pagmo::vector_double& flat) const {
        Population members(flat.size() / Dimension);
        for (std::size_t i = 0; i < members.size(); ++i)
            members[i].assign(flat.begin() + i * Dimension, flat.begin() + (i + 1) * Dimension);
        std::vector<double> merits;
        (*Evaluate)(members, merits);
        return merits;
    }
    std::pair<pagmo::vector_double, pagmo::vector_double> get_bounds() const {
        return {pagmo::vector_double(Dimension, 0.0), pagmo::vector_double(Dimension, 1.0)};
    }
    pagmo::thread_safety get_thread_safety() const { return pagmo::thread_safety::none; }
};

std::vector<double> MeritsOf(const pagmo::population& population) {
    std::vector<double> merits;
    merits.reserve(population.size());
    for (const auto& f : population.get_f()) merits.push_back(f[0]);
    return merits;
}

}  // namespace

PopulationResult RunLibrarySearch(int dimension, const PopulationSettings& settings,
                                  const BatchObjective& objective,
                                  const GenerationCallback& onGeneration) {
    const SearchMethod method = settings.Method;
    const int count = std::max(5, settings.Population > 0 ? settings.Population
                                                          : DefaultPopulation(method, dimension));
    const int generations =
        settings.Generations > 0 ? settings.Generations : DefaultGenerations(method);
    // The library takes 32-bit seeds: one for the first population, one for the method.
    std::mt19937_64 seeds(settings.Seed);
    const auto populationSeed = static_cast<unsigned>(seeds() >> 32);
    const auto methodSeed = static_cast<unsigned>(seeds() >> 32);

    UnitCubeProblem cube;
    cube.Dimension = static_cast<std::size_t>(dimension);
    cube.Evaluate = &objective;
    pagmo::problem problem{cube};
    pagmo::population population(problem, pagmo::bfe{pagmo::member_bfe{}},
                                 static_cast<pagmo::population::size_type>(count), populationSeed);

    // sigma0 = 0.3 of the cube; the bounds are kept, so no member leaves the limits.
    pagmo::cmaes cmaes(1, -1, -1, -1, -1, 0.3, 1e-12, 1e-12, true, true, methodSeed);
    pagmo::pso_gen swarm(1, 0.7298, 2.05, 2.05, 0.5, 5u, 2u, 4u, true, methodSeed);
    swarm.set_bfe(pagmo::bfe{pagmo::member_bfe{}});

    PopulationResult result;
    auto report = [&](int generation) {
        result.BestMember = population.champion_x();
        result.BestMerit = population.champion_f()[0];
        result.Generations = generation;
        GenerationReport record;
        record.Generation = generation;
        record.BestMerit = result.BestMerit;
        record.MedianMerit = MedianOf(MeritsOf(population));
        record.BestMember = result.BestMember;
        return onGeneration && onGeneration(record);
    };
    if (report(0)) {
        result.Stopped = true;
        return result;
    }
    for (int generation = 1; generation <= generations; ++generation) {
        population = method == SearchMethod::CmaEs ? cmaes.evolve(population)
                                                   : swarm.evolve(population);
        if (report(generation)) {
            result.Stopped = true;
            return result;
        }
        const std::vector<double> merits = MeritsOf(population);
        const auto [low, high] = std::minmax_element(merits.begin(), merits.end());
        if (*high - *low <= settings.Tolerance * std::fabs(*low)) {
            result.Converged = true;
            break;
        }
    }
    return result;
}

}  // namespace korvel
