#pragma once
// A fit whose search is a population method inside the limits instead of the
// tunnelling search: the same inputs, weights, figure of merit and result sequence as
// RunFit; the population search replaces the starting simplex's spread and the
// search, and the program's own local simplex then polishes the best member (its runs
// are the local runs the observer hears about, one .loc line each).

#include <cstdint>

#include "model/SearchMethod.h"

namespace korvel {

struct FitSession;
struct FitStop;
class FitObserver;

// What the population search did, besides the result in the session.
struct GlobalFitSummary {
    SearchMethod Method = SearchMethod::Tunnelling;
    int Generations = 0;                 // after the initial population
    std::uint64_t SearchEvaluations = 0; // curve evaluations of the population search
    double SearchBestMerit = 0.0;        // the best member's figure of merit, before polishing
    bool Converged = false;              // the population came together
    bool Stopped = false;                // a request to end the search ended it
    int PolishingRuns = 0;               // local simplex runs on the best member
};

// Runs the fit of a session filled by the readers with `options.Method` (not
// Tunnelling). The population is evaluated on ws.Options.Threads threads (0: all),
// each with its own copy of the session; its random numbers come from ws.Random, so
// the seed of the run repeats it at any thread count. Progress: a Population record
// per generation (the stop request EndSearch is read right after it and ends the
// search with the best member so far, which is still polished), then the records of
// a fit's starting simplex, local runs and result. Throws RunError like RunFit.
GlobalFitSummary RunGlobalFit(FitSession& ws, const SearchOptions& options, FitObserver& observer,
                              FitStop& stop);

// Runs RunFit or RunGlobalFit as ws.Options.Search.Method says.
GlobalFitSummary RunFitWithSearch(FitSession& ws, FitObserver& observer, FitStop& stop);

}  // namespace korvel
