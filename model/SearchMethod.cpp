// Names of the search methods.

#include "model/SearchMethod.h"

#include <array>
#include <utility>

namespace korvel {

namespace {

struct MethodNames {
    SearchMethod Method;
    std::string_view Name;
    std::string_view Description;
};

constexpr std::array<MethodNames, 7> kMethods{{
    {SearchMethod::Tunnelling, "tunnelling", "simplex runs with tunnelling steps"},
    {SearchMethod::SelfAdaptiveDe, "de", "self-adaptive differential evolution (jDE, rand/1/bin)"},
    {SearchMethod::DeRand1Bin, "de-rand1bin", "differential evolution (rand/1/bin)"},
    {SearchMethod::DeBest1Bin, "de-best1bin", "differential evolution (best/1/bin)"},
    {SearchMethod::DeCurrentToBest1Bin, "de-current-to-best1bin",
     "differential evolution (current-to-best/1/bin)"},
    {SearchMethod::CmaEs, "cmaes", "covariance matrix adaptation evolution strategy"},
    {SearchMethod::ParticleSwarm, "pso", "particle swarm optimisation"},
}};

}  // namespace

std::string_view SearchMethodName(SearchMethod method) {
    for (const MethodNames& entry : kMethods)
        if (entry.Method == method) return entry.Name;
    return {};
}

std::string_view SearchMethodDescription(SearchMethod method) {
    for (const MethodNames& entry : kMethods)
        if (entry.Method == method) return entry.Description;
    return {};
}

std::optional<SearchMethod> SearchMethodFromName(std::string_view name) {
    for (const MethodNames& entry : kMethods)
        if (entry.Name == name) return entry.Method;
    return std::nullopt;
}

}  // namespace korvel
