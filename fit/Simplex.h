#pragma once
// The downhill simplex over the fit vector, in its two variants: the local run,
// which minimises the figure of merit, and the tunnelling run, which minimises
// T(v) = (Xi2(v) - x) / D(v)^a of the global search. Both report every iteration's
// ranking to the observer and then read the stop request: the whole search (Ctrl+Q)
// or this run only (Ctrl+X). Vertices are angles in radians; folding brings them
// back into [-pi, 0].

#include <span>
#include <string_view>

#include "fit/Objective.h"

namespace korvel {

struct FitSession;
struct FitStop;
struct FreeParameters;
class FitObserver;

enum class SimplexVariant { Local, Tunnelling };

// Termination codes; the later condition of one iteration overwrites the earlier.
enum TerminationCode : int {
    kNoTermination = 0,
    kMaxIterationsExceeded = 1,
    kToleranceAttained = 2,
    kCanceledByUser = 3,
    kSpreadBelowEpsilon = 4,
    kLocalFullStop = 5,       // local run: Ctrl+Q
    kNegativeArea = 5,        // tunnelling run: a point below the target was found
    kTunnellingFullStop = 6,  // tunnelling run: Ctrl+Q
    kTooBigStep = 7,
    kTooFarFromReference = 8,
    // A global step giving up at one of its own bounds (fit/GlobalSearch.h).
    kClimbStepLimit = 9,
    kRespreadLimit = 10,
};

// Lowest, highest and next-highest vertex of the values y (1-based indices; at least
// two values). Ties keep the earlier index; the highest and next-highest always differ.
struct SimplexRanking {
    int Lowest = 1;
    int Highest = 2;
    int NextHighest = 1;
};
SimplexRanking RankVertices(std::span<const double> y);

// The 34-character text of a code, as the fitting window's TermMess field shows it.
std::string_view TerminationMessage(SimplexVariant variant, int code);

// One simplex run on the current vertices and VertexMerit, minimising `objective`.
// Returns the termination code and leaves BestVertex at the lowest vertex. A request to
// end the search also sets StopRequested.
int RunSimplex(FitSession& ws, FitObserver& observer, FitStop& stop, SimplexVariant variant,
               const Objective& objective);
// The local run on the figure of merit.
int RunLocalSimplex(FitSession& ws, FitObserver& observer, FitStop& stop);
// The tunnelling run with exponent a and target x around ws.Fit.ReferencePoint;
// `merit` is the figure of merit (the checked curve evaluation by default).
int RunTunnellingSimplex(FitSession& ws, FitObserver& observer, FitStop& stop, int a, double x,
                         const Objective& merit);
int RunTunnellingSimplex(FitSession& ws, FitObserver& observer, FitStop& stop, int a, double x);

// T(v) = (merit(v) - x) / exp(a ln D), D the squared angular distance of v from the
// reference point; +infinity at the reference point itself. Raises TooBigStep when
// the rms distance (in units of pi) jumps by more than 1 since the previous call,
// TooFar beyond 1000.
double EvaluateTunnelling(FitSession& ws, const Objective& merit, int a, std::span<const double> v,
                          double x);

// An angle folded into [-pi, 0] with the same cosine.
double FoldAngle(double angle);
// Vertex i (1-based) folded entry by entry.
void FoldVertex(FreeParameters& free, int i);
void FoldAllVertices(FreeParameters& free);

}  // namespace korvel
