// Global step by tunnelling: reference point, climb along the steepest simplex edge,
// spread a small simplex past the crest, and tunnel with exponents a = 1 .. 40.

#include "fit/GlobalSearch.h"

#include <cmath>
#include <limits>
#include <vector>

#include "fit/FitProgress.h"
#include "fit/FitSession.h"
#include "fit/Simplex.h"

namespace korvel {

namespace {

// Uniform in [0, 1) from the run's generator: 53 random bits, the same on every platform.
double Uniform(std::mt19937_64& random) { return static_cast<double>(random() >> 11) * 0x1.0p-53; }

double SquaredDistance(const std::vector<double>& v, const std::vector<double>& reference) {
    double d = 0.0;
    for (std::size_t j = 0; j < v.size(); ++j) {
        const double diff = v[j] - reference[j];
        d += diff * diff;
    }
    return d;
}

// Vertex (0-based) with the steepest rise away from the reference value, or -1 when
// no vertex rises at all.
int SteepestVertex(const FreeParameters& free, const std::vector<double>& reference,
                   double referenceMerit) {
    int steepest = -1;
    double largest = 0.0;
    for (int i = 0; i < free.VertexCount; ++i) {
        const double d = SquaredDistance(free.Vertices[i], reference);
        const double slope = d == 0.0 ? 0.0 : (free.VertexMerit[i] - referenceMerit) / std::sqrt(d);
        if (slope > largest) {
            largest = slope;
            steepest = i;
        }
    }
    return steepest;
}

// Smallest |w_j / r_j| over the entries with a usable ratio (r_j and w_j nonzero).
double StepScale(const std::vector<double>& w, const std::vector<double>& reference) {
    double s = 1e20;
    for (std::size_t j = 0; j < w.size(); ++j) {
        if (reference[j] == 0.0 || w[j] == 0.0) continue;
        s = std::min(s, std::fabs(w[j] / reference[j]));
    }
    return s;
}

// Steps of exactly the same figure of merit after which the climb counts the
// direction as flat.
constexpr int kFlatClimbSteps = 1000;
// Steps after which a climb that is still rising gives up as well. The step is 1 %
// of the smallest reference angle, so near a bound (an angle close to 0) the crest can
// lie millions of evaluations away; a climb that never falls would never end.
constexpr int kMaxClimbSteps = 10000;

enum class ClimbResult { PastTheCrest, Flat, StepCap, Stuck };

// Walks vertex b from the reference point along w until the figure of merit first
// falls. Otherwise it ends when the figure of merit stays exactly level for
// kFlatClimbSteps steps, when it still rises after kMaxClimbSteps steps, or when the
// step no longer moves the point: along such a direction the climb would never end.
ClimbResult Climb(FitSession& ws, int b, const std::vector<double>& w, double s,
                  const Objective& merit) {
    FreeParameters& free = ws.Free;
    const std::vector<double>& r = ws.Fit.ReferencePoint;
    double t = 1.0;
    double current = r[free.FreeCount];
    double previous = current;
    int level = 0;
    int steps = 0;
    do {
        if (++steps > kMaxClimbSteps) return ClimbResult::StepCap;
        previous = current;
        const double next = t + 0.01 / s;
        if (next == t) return ClimbResult::Stuck;
        t = next;
        for (int j = 0; j < free.FreeCount; ++j) free.Vertices[b][j] = r[j] + t * w[j];
        current = merit(free.Vertices[b]);
        free.VertexMerit[b] = current;
        level = current == previous ? level + 1 : 0;
        if (level >= kFlatClimbSteps) return ClimbResult::Flat;
    } while (!(current - previous < 0.0));
    return ClimbResult::PastTheCrest;
}

// A fresh simplex around vertex b: every other vertex scatters each entry by up to
// 0.1 percent; values are the tunnelling objective with a = 1.
void Spread(FitSession& ws, int b, double x, const Objective& merit) {
    FreeParameters& free = ws.Free;
    FoldVertex(free, b + 1);
    for (int i = 0; i < free.VertexCount; ++i) {
        if (i != b) {
            for (int j = 0; j < free.FreeCount; ++j)
                free.Vertices[i][j] =
                    free.Vertices[b][j] * (1.0 + (1.0 - 2.0 * Uniform(ws.Random)) * 0.001);
        }
        const double d = SquaredDistance(free.Vertices[i], ws.Fit.ReferencePoint);
        const double value = merit(free.Vertices[i]);
        free.VertexMerit[i] = d == 0.0 ? std::numeric_limits<double>::infinity() : (value - x) / d;
    }
}

// Puts the best vertex back on the reference point and ends the search. The final
// evaluation leaves the curves and scale factors describing the reference point.
void GiveUp(FitSession& ws, const Objective& merit) {
    FreeParameters& free = ws.Free;
    const std::vector<double>& r = ws.Fit.ReferencePoint;
    ws.Fit.StopRequested = true;
    const int b = ws.Fit.BestVertex - 1;
    for (int j = 0; j < free.FreeCount; ++j) free.Vertices[b][j] = r[j];
    free.VertexMerit[b] = r[free.FreeCount];
    merit(free.Vertices[b]);
}

// Gives up at one of the step's own bounds and says which, with the evaluation count,
// which has moved on since the last simplex iteration reported it.
void GiveUpAtLimit(FitSession& ws, FitObserver& observer, const Objective& merit, int code,
                   const char* message) {
    GiveUp(ws, merit);
    FitProgress progress = MakeProgress(ws, FitPhase::GlobalStep, ProgressKind::RunEnded);
    progress.Termination = code;
    progress.TerminationText = message;
    observer.OnProgress(progress);
}

}  // namespace

void GlobalSearchStep(FitSession& ws, FitObserver& observer, FitStop& stop,
                      const Objective& merit) {
    FreeParameters& free = ws.Free;
    FitState& fit = ws.Fit;
    const int n = free.FreeCount;
    int b = fit.BestVertex - 1;

    std::vector<double>& r = fit.ReferencePoint;
    r.assign(free.Vertices[b].begin(), free.Vertices[b].end());
    const double referenceMerit = free.VertexMerit[b];
    r.push_back(referenceMerit);
    if (fit.StopRequested || n == 0) return GiveUp(ws, merit);

    const int m = SteepestVertex(free, r, referenceMerit);
    if (m < 0) return GiveUp(ws, merit);
    std::vector<double> w(n);
    for (int j = 0; j < n; ++j) w[j] = free.Vertices[m][j] - r[j];
    const ClimbResult climb = Climb(ws, b, w, StepScale(w, r), merit);
    if (climb == ClimbResult::StepCap)
        return GiveUpAtLimit(ws, observer, merit, kClimbStepLimit, kClimbStepLimitMessage);
    if (climb != ClimbResult::PastTheCrest) return GiveUp(ws, merit);

    const double x = 0.999999 * referenceMerit;
    int respreads = 0;
    for (;;) {  // one spread, then tunnelling runs with a rising exponent
        Spread(ws, b, x, merit);
        int a = 1;
        for (;;) {
            RunTunnellingSimplex(ws, observer, stop, a, x, merit);
            b = fit.BestVertex - 1;
            if (fit.StopRequested) return GiveUp(ws, merit);
            if (free.VertexMerit[b] < 0.0) {
                for (int i = 0; i < free.VertexCount; ++i)
                    free.VertexMerit[i] = merit(free.Vertices[i]);
                return;
            }
            if (++a > kMaxTunnellingExponent) return GiveUp(ws, merit);
            if (fit.TooFar || fit.TooBigStep) break;
            for (int i = 0; i < free.VertexCount; ++i) {
                const double d = SquaredDistance(free.Vertices[i], r);
                if (i == b && d / n < 2.0 * fit.MachineEpsilon) return GiveUp(ws, merit);
                free.VertexMerit[i] =
                    d == 0.0 ? std::numeric_limits<double>::infinity() : free.VertexMerit[i] / d;
            }
        }
        ++respreads;
        if (ws.Options.MaxRespreads >= 0 && respreads > ws.Options.MaxRespreads)
            return GiveUpAtLimit(ws, observer, merit, kRespreadLimit, kRespreadLimitMessage);
    }
}

void GlobalSearchStep(FitSession& ws, FitObserver& observer, FitStop& stop) {
    GlobalSearchStep(ws, observer, stop, FigureOfMeritObjective(ws));
}

}  // namespace korvel
