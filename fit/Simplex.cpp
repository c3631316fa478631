// Downhill simplex (reflection 1, expansion 2, contraction 0.5, shrink 0.5) over
// angle vectors, with its progress, stop requests and termination codes; the
// tunnelling objective; folding of angles.

#include "fit/Simplex.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "fit/FitProgress.h"
#include "fit/FitSession.h"

namespace korvel {

namespace {

constexpr double kPi = std::numbers::pi;

void Replace(std::vector<double>& vertex, double& value, const std::vector<double>& by,
             double byValue) {
    vertex = by;
    value = byValue;
}

}  // namespace

SimplexRanking RankVertices(std::span<const double> y) {
    SimplexRanking r;
    if (y[0] > y[1]) {
        r.Highest = 1;
        r.NextHighest = 2;
    } else {
        r.Highest = 2;
        r.NextHighest = 1;
    }
    for (int i = 1; i <= static_cast<int>(y.size()); ++i) {
        const double value = y[i - 1];
        if (value < y[r.Lowest - 1]) r.Lowest = i;
        if (value > y[r.Highest - 1]) {
            r.NextHighest = r.Highest;
            r.Highest = i;
        } else if (value > y[r.NextHighest - 1] && i != r.Highest) {
            r.NextHighest = i;
        }
    }
    return r;
}

std::string_view TerminationMessage(SimplexVariant variant, int code) {
    // Constant texts: reporting the end of a run needs no memory.
    static constexpr std::string_view local[] = {
        " ",
        "Maximum iterations exceeded.      ",
        "Chosen tolerance attained.        ",
        "Amoeba has been canceled by user. ",
        "Abs(Xi[hi]^2 - Xi[lo]^2) < PC_Eps.",
        "Full stop by user.                ",
    };
    static constexpr std::string_view tunnelling[] = {
        " ",
        "Maximum iterations exceeded.      ",
        "Chosen tolerance attained.        ",
        "Amoeba has been canceled by user. ",
        "Abs(Xi[hi]^2 - Xi[lo]^2) < PC_Eps ",
        "Negative area achieved.           ",
        "Full stop by user.                ",
        "Too big step.                     ",
        "Too far from reference point.     ",
    };
    if (variant == SimplexVariant::Local) return local[code >= 0 && code <= 5 ? code : 0];
    return tunnelling[code >= 0 && code <= 8 ? code : 0];
}

int RunSimplex(FitSession& ws, FitObserver& observer, FitStop& stop, SimplexVariant variant,
               const Objective& objective) {
    FreeParameters& free = ws.Free;
    FitState& fit = ws.Fit;
    const bool local = variant == SimplexVariant::Local;
    const int n = free.FreeCount;
    const int vertexCount = n + 1;
    auto& vertices = free.Vertices;
    auto& y = free.VertexMerit;
    const FitPhase phase = local ? FitPhase::Local : FitPhase::Tunnelling;

    fit.IterationCount = 0;
    if (!local) {
        fit.TooBigStep = false;
        fit.TooFar = false;
    }
    if (vertexCount < 2) {  // a single vertex has nothing to move
        fit.BestVertex = 1;
        return kNoTermination;
    }

    double best = 0.0;
    for (;;) {
        const SimplexRanking rank = RankVertices(y);
        const int lo = rank.Lowest - 1;
        const int hi = rank.Highest - 1;
        const int nextHi = rank.NextHighest - 1;

        const double ylo = y[lo];
        const double yhi = y[hi];
        int code = kNoTermination;
        const double spread = local ? std::fabs(yhi - ylo) / yhi : std::fabs((yhi - ylo) / yhi);
        if (spread < fit.MachineEpsilon) code = kSpreadBelowEpsilon;
        const double rtol = 2.0 * std::fabs(yhi - ylo) / (std::fabs(yhi) + std::fabs(ylo));

        const bool newBest = fit.IterationCount == 0 || best > ylo;
        if (newBest) best = ylo;
        if (local) fit.SessionBest = ylo;
        FitProgress progress = MakeProgress(ws, phase, ProgressKind::Iteration);
        progress.Iteration = fit.IterationCount;
        progress.BestMerit = ylo;
        progress.WorstMerit = yhi;
        progress.Tolerance = rtol;
        progress.NewBest = newBest;
        progress.BestVertex = vertices[lo];
        observer.OnProgress(progress);

        // Read where the window's keys were read: right after the iteration was shown.
        if (stop.EndSearch.exchange(false)) {
            fit.StopRequested = true;
            code = local ? kLocalFullStop : kTunnellingFullStop;
        } else if (stop.EndLocalRun.exchange(false)) {
            code = kCanceledByUser;
        }

        if (fit.IterationCount == ws.Settings.MaxIterations) code = kMaxIterationsExceeded;

        if (local) {
            if (rtol < ws.Settings.FitTolerance) code = kToleranceAttained;
        } else {
            if (10.0 * ws.Settings.FitTolerance > rtol) code = kToleranceAttained;
            if (best < 0.0) code = kNegativeArea;
            if (fit.TooBigStep) code = kTooBigStep;
            if (fit.TooFar) code = kTooFarFromReference;
        }

        if (code != kNoTermination) {
            fit.BestVertex = static_cast<std::uint16_t>(lo + 1);
            progress.Kind = ProgressKind::RunEnded;
            progress.Termination = code;
            progress.TerminationText = TerminationMessage(variant, code);
            observer.OnProgress(progress);
            return code;
        }

        ++fit.IterationCount;

        auto& centroid = free.Centroid;
        for (int j = 0; j < n; ++j) {
            double sum = 0.0;
            for (int i = 0; i < vertexCount; ++i)
                if (i != hi) sum += vertices[i][j];
            centroid[j] = sum / n;
        }

        auto& reflected = free.Trial;
        for (int j = 0; j < n; ++j) reflected[j] = 2.0 * centroid[j] - 1.0 * vertices[hi][j];
        const double yReflected = objective(reflected);

        auto& second = free.SecondTrial;
        if (yReflected <= y[lo]) {
            for (int j = 0; j < n; ++j) second[j] = 2.0 * reflected[j] - 1.0 * centroid[j];
            const double yExpanded = objective(second);
            if (yExpanded < y[lo]) {
                Replace(vertices[hi], y[hi], second, yExpanded);
            } else {
                Replace(vertices[hi], y[hi], reflected, yReflected);
            }
        } else if (yReflected >= y[nextHi]) {
            if (yReflected < y[hi]) Replace(vertices[hi], y[hi], reflected, yReflected);
            for (int j = 0; j < n; ++j) second[j] = 0.5 * vertices[hi][j] + 0.5 * centroid[j];
            const double yContracted = objective(second);
            if (yContracted < y[hi]) {
                Replace(vertices[hi], y[hi], second, yContracted);
            } else {
                for (int i = 0; i < vertexCount; ++i) {
                    if (i == lo) continue;
                    for (int j = 0; j < n; ++j)
                        vertices[i][j] = (vertices[i][j] + vertices[lo][j]) * 0.5;
                    y[i] = objective(vertices[i]);
                }
            }
        } else {
            Replace(vertices[hi], y[hi], reflected, yReflected);
        }
    }
}

int RunLocalSimplex(FitSession& ws, FitObserver& observer, FitStop& stop) {
    return RunSimplex(ws, observer, stop, SimplexVariant::Local, FigureOfMeritObjective(ws));
}

int RunTunnellingSimplex(FitSession& ws, FitObserver& observer, FitStop& stop, int a, double x,
                         const Objective& merit) {
    const Objective tunnelling = [&](std::span<const double> v) {
        return EvaluateTunnelling(ws, merit, a, v, x);
    };
    return RunSimplex(ws, observer, stop, SimplexVariant::Tunnelling, tunnelling);
}

int RunTunnellingSimplex(FitSession& ws, FitObserver& observer, FitStop& stop, int a, double x) {
    return RunTunnellingSimplex(ws, observer, stop, a, x, FigureOfMeritObjective(ws));
}

double EvaluateTunnelling(FitSession& ws, const Objective& merit, int a, std::span<const double> v,
                          double x) {
    FitState& fit = ws.Fit;
    const double meritValue = merit(v);
    const std::size_t n = v.size();
    double d = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const double diff = v[j] - fit.ReferencePoint[j];
        d += diff * diff;
    }
    const double e = std::sqrt(d / static_cast<double>(n)) / kPi;
    // The flags only ever rise within a run; the run clears them when it starts.
    if (e - fit.PreviousDistance > 1.0) fit.TooBigStep = true;
    fit.PreviousDistance = e;
    if (e > 1000.0) fit.TooFar = true;
    // At the reference point itself the objective has no value: treat it as the worst.
    if (d == 0.0) return std::numeric_limits<double>::infinity();
    const double t = (meritValue - x) / std::exp(a * std::log(d));
    // 0/0 or inf/inf when the power under- or overflows: no usable value either.
    return std::isnan(t) ? std::numeric_limits<double>::infinity() : t;
}

double FoldAngle(double angle) {
    double k = std::trunc(angle / (2.0 * kPi));
    if (angle >= 0.0) k += 1.0;
    double e = angle - 2.0 * kPi * k;
    if (std::fabs(e) > kPi) e = -2.0 * kPi - e;
    return e;
}

void FoldVertex(FreeParameters& free, int i) {
    for (double& angle : free.Vertices[i - 1]) angle = FoldAngle(angle);
}

void FoldAllVertices(FreeParameters& free) {
    for (int i = 1; i <= static_cast<int>(free.Vertices.size()); ++i) FoldVertex(free, i);
}

}  // namespace korvel
