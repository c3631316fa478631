#pragma once
// Counters, scale factors and switches of the current run that the engine, the
// simplex, the global search and the report share.

#include <cstdint>
#include <limits>
#include <vector>

namespace korvel {

struct FitState {
    std::uint16_t EvaluationCount = 0;  // "#Calls", wraps at 65536
    std::uint64_t Evaluations = 0;      // the same count, never wrapping
    std::uint16_t IterationCount = 0;   // "#ITER" of the current simplex run
    std::uint16_t BestVertex = 1;       // 1-based index of the lowest vertex
    double ScaleUnsmeared = 1.0;
    double ScaleSmeared = 1.0;
    std::uint16_t FitWindowFirst = 1;  // 1-based, both ends included
    std::uint16_t FitWindowLast = 0;
    bool SkipFigureOfMerit = false;  // compute the curves only
    double ZeroCurveMerit = 0.0;
    double BestMerit = 0.0;
    double FinalScaleSmeared = 1.0;
    double MachineEpsilon = 1.1102230246251565e-16;
    bool StopRequested = false;  // ends the whole search
    // The best figure of merit of the latest local iteration, the lowest the search has
    // found; NaN before the first.
    double SessionBest = std::numeric_limits<double>::quiet_NaN();
    // The seed of the run's random numbers: the one asked for, or the clock's.
    std::uint64_t Seed = 0;
    // Tunnelling state. ReferencePoint: the angles of the last local minimum, then
    // its figure of merit (FreeCount + 1 entries), alive while the search runs.
    std::vector<double> ReferencePoint;
    double PreviousDistance = 0.0;
    bool TooBigStep = false;
    bool TooFar = false;
    bool FitLogEnabled = false;
    // The uncertainty estimate of the finished fit, one per free parameter in the model's
    // internal units (delta and beta for the density columns); empty when none was made.
    std::vector<double> Uncertainties;
    // The search result's vertex (angles) as the search left it, before it became
    // values: where a posterior sampler starts.
    std::vector<double> SearchResultAngles;
};

}  // namespace korvel
