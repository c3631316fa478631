#pragma once
// What a fit tells the program around it while it runs, and how that program answers.
// The fit delivers a typed progress record to an observer at every moment it has
// something to show, hands over its results at the moments they are ready to be
// written, asks its two questions (the Newton step, the uncertainty estimate) when
// the search is over, and reads a stop request right after the progress of each
// simplex iteration and before each evaluation of the phases without iterations. It
// knows neither windows nor files: the desktop program turns the records into its
// window fields and its keys into stop requests, the command line prints them.

#include <atomic>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

namespace korvel {

struct CurveArrays;
struct FitSession;

enum class FitPhase {
    InitialSimplex,   // evaluating the vertices of the starting simplex
    Search,           // local runs alternating with global steps, as a whole
    Local,            // a local simplex run on the figure of merit
    Tunnelling,       // a simplex run on the tunnelling objective of a global step
    GlobalStep,       // a global step outside its simplex runs
    Result,           // the best vertex, converted to values and evaluated once more
    Newton,           // the Newton step as a whole
    NewtonGradient,   // its first derivatives
    NewtonCurvature,  // its mixed second derivatives
    Uncertainty,      // the uncertainty estimate
    Population,       // a population search (differential evolution, CMA-ES, swarm)
    Sampling,         // the posterior sampler after a fit
};

enum class ProgressKind {
    Started,             // the phase begins
    Ended,               // the phase is over (also when a stop ended it)
    BetweenEvaluations,  // an evaluation is about to start; the stop request is read next
    VertexStarted,       // InitialSimplex: Remaining vertices are left, this one included
    VertexEvaluated,     // InitialSimplex: the vertex took SecondsPerCurve
    Iteration,           // Local, Tunnelling: one iteration's ranking; the stop is read next
    RunEnded,            // Local, Tunnelling, GlobalStep: ended with Termination
    CountDown,           // NewtonGradient, NewtonCurvature, Uncertainty: Remaining stages
    Evaluated,           // Result: Curves hold the curves of the best vertex
    Generation,          // Population, Sampling: one generation (step) is evaluated;
                         // the stop request is read next
};

// One report of a running fit. Every record carries the counts and the session best;
// the other fields are filled for the kinds named beside them and are 0 otherwise.
struct FitProgress {
    FitPhase Phase = FitPhase::InitialSimplex;
    ProgressKind Kind = ProgressKind::Started;

    std::uint64_t Evaluations = 0;  // curve evaluations of this fit so far; never wraps
    std::uint16_t Calls = 0;        // the same count as "#Calls" shows it: wraps at 65536
    // The lowest figure of merit of the local runs so far; NaN before the first
    // iteration of the first one.
    double SessionBest = std::numeric_limits<double>::quiet_NaN();

    // Iteration, RunEnded of a simplex run: its iterations so far ("#ITER"), the lowest
    // and highest value of the simplex (figures of merit in a local run, values of the
    // tunnelling objective in a tunnelling run) and their relative difference
    // 2 |hi - lo| / (|hi| + |lo|). NewBest: the lowest value is new in this run (always
    // at iteration 0). Result: BestMerit is the figure of merit of the best vertex.
    int Iteration = 0;
    double BestMerit = 0.0;
    double WorstMerit = 0.0;
    double Tolerance = 0.0;
    bool NewBest = false;
    // RunEnded: the termination code (see fit/Simplex.h) and its 34-character text,
    // a constant text that outlives the fit.
    int Termination = 0;
    std::string_view TerminationText;

    // Count-downs: InitialSimplex vertices left of Total; Newton and uncertainty stages
    // left (the vertex or stage under way included).
    int Remaining = 0;
    int Total = 0;
    double SecondsPerCurve = 0.0;  // VertexEvaluated: clock time of that evaluation

    // Generation: its number (1 for the first evaluated population) of at most Total,
    // the lowest figure of merit found so far (BestMerit) and the median of the
    // current population's (MedianMerit). Sampling: the step, the steps asked for, and
    // the walkers' acceptance fraction so far (MedianMerit holds their median merit).
    int Generation = 0;
    double MedianMerit = 0.0;
    double Acceptance = 0.0;

    // Iteration, RunEnded: the lowest vertex (angles, radians); Result: the best vertex
    // (parameter values in the model's internal units); Generation: the best member so
    // far (angles).
    std::span<const double> BestVertex;
    // The curve arrays of the session, as the latest evaluation left them.
    const CurveArrays* Curves = nullptr;
};

// The three lines a Newton step adds to the report, besides the model sections.
enum class NewtonSection {
    NewtonPoint,     // the model at the Newton point, its merit against the search's
    Midpoint,        // the midpoint between search result and Newton point was tried
    Parabola,        // the minimum of the parabola through the three was tried
    OptimizedPoint,  // the model at the better of those, with the counts
};

// Receives a fit's progress, results and questions. Every member has a default that
// does nothing (and answers No), so an observer overrides only what it uses. The
// session is handed over const at the moments its state is worth keeping: the fit
// has put the best vertex's values into the model and BestMerit where a result
// section reports them.
class FitObserver {
  public:
    virtual ~FitObserver() = default;

    virtual void OnProgress(const FitProgress& /*progress*/) {}

    // A local run has ended and its vertices are folded: BestVertex and IterationCount
    // describe it (the .loc line).
    virtual void OnLocalRunEnded(const FitSession& /*session*/) {}
    // The search's result: the model holds the best vertex's values, the curves and
    // scale factors are those of that model (the .bst and .pct files).
    virtual void OnSearchResult(const FitSession& /*session*/) {}
    // A step of the Newton step's follow-up; `meritDifference` is the search result's
    // figure of merit minus the new one (NewtonPoint, OptimizedPoint).
    virtual void OnNewtonSection(const FitSession& /*session*/, NewtonSection /*section*/,
                                 double /*meritDifference*/) {}
    // The uncertainty estimate: one per free parameter, beside the values they belong to.
    virtual void OnUncertainties(const FitSession& /*session*/, std::span<const double> /*values*/,
                                 std::span<const double> /*uncertainties*/) {}

    // The questions once the search is over, in this order.
    virtual bool DecideNewtonStep() { return false; }
    virtual bool DecideUncertainty() { return false; }
};

// A request to stop, from any thread or from a signal handler (the flags are
// lock-free). EndSearch ends the whole search (Ctrl+Q): the simplex run under way
// ends, no further global step starts, and the starting simplex, the Newton step and
// the uncertainty estimate stop before their next evaluation; the results are those
// of the best vertex so far. EndLocalRun ends only the simplex run under way
// (Ctrl+X). A request is taken back (cleared) when the fit acts on it; one that no
// phase reads stays for the next reader.
struct FitStop {
    std::atomic<bool> EndSearch{false};
    std::atomic<bool> EndLocalRun{false};
};
static_assert(std::atomic<bool>::is_always_lock_free);

// A record of `phase` and `kind` with the session's counts and session best filled in.
FitProgress MakeProgress(const FitSession& session, FitPhase phase, ProgressKind kind);

// Tells the observer that an evaluation of `phase` is about to start, then reads and
// takes back EndSearch: true when the phase is to stop here.
bool StopBeforeEvaluation(const FitSession& session, FitObserver& observer, FitStop& stop,
                          FitPhase phase);

}  // namespace korvel
