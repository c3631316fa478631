// Central-difference gradient g_i = (f+ - f-) / 2d, diagonal curvature
// (f+ + f- - 2 f0) / d^2, mixed curvature from the two diagonal points (+d_i, +d_j)
// and (-d_i, -d_j), and the update x - H^-1 g. 2N + N(N-1) evaluations.
//
// Mixed curvature: f++ + f-- = 2 f0 + H_ii d_i^2 + 2 H_ij d_i d_j + H_jj d_j^2 up to
// fourth order, and f+i + f-i = 2 f0 + H_ii d_i^2 (likewise for j), so
// H_ij = (f++ + f-- - f+i - f-i - f+j - f-j + 2 f0) / (2 d_i d_j). Dividing the
// diagonal curvature by d_i^2 + d_j^2 instead would give a weighted mean of H_ii and
// H_jj, nonzero even where the parameters do not interact, and the step would miss
// the minimum of every quadratic.

#include "fit/NewtonStep.h"

#include <cmath>
#include <string>
#include <vector>

#include "base/ParameterIndex.h"
#include "base/RunError.h"
#include "fit/FitProgress.h"
#include "fit/FitSession.h"
#include "fit/MatrixInversion.h"

namespace korvel {

double DifferenceStep(const FreeParameters& free, int k, double value) {
    if (value != 0.0) return kRelativeStep * value;
    const double halfRange = free.FreeHalfRange.empty() ? 0.0 : free.FreeHalfRange[k - 1];
    return halfRange != 0.0 ? kRelativeStep * std::fabs(halfRange) : 1e-10;
}

std::string FreeParameterName(const FreeParameters& free, int k) {
    const int j = free.ModelIndexOfFree(k);
    return std::string("[") + ParameterLabel(j) + ":" + std::to_string(LayerOf(j)) + "]";
}

bool NewtonStep(FitSession& ws, FitObserver& observer, FitStop& stop, const Objective& merit) {
    FreeParameters& free = ws.Free;
    const int n = free.FreeCount;
    const int b = ws.Fit.BestVertex - 1;
    std::vector<double>& x = free.Vertices[b];
    const double y0 = free.VertexMerit[b];
    std::vector<double>& trial = free.Trial;
    trial = x;

    std::vector<double> step(n);
    for (int i = 0; i < n; ++i) step[i] = DifferenceStep(free, i + 1, x[i]);

    std::vector<double> gradient(n);
    std::vector<double> plusValues(n);
    std::vector<double> minusValues(n);
    Matrix curvature(n, std::vector<double>(n, 0.0));

    auto report = [&](FitPhase phase, ProgressKind kind, int remaining, int total) {
        FitProgress progress = MakeProgress(ws, phase, kind);
        progress.Remaining = remaining;
        progress.Total = total;
        observer.OnProgress(progress);
    };
    auto stopped = [&](FitPhase phase) { return StopBeforeEvaluation(ws, observer, stop, phase); };

    constexpr FitPhase gradientPhase = FitPhase::NewtonGradient;
    report(gradientPhase, ProgressKind::Started, n, n);
    for (int i = 0; i < n; ++i) {
        report(gradientPhase, ProgressKind::CountDown, n - i, n);
        const double d = step[i];
        if (stopped(gradientPhase)) return false;
        trial[i] = x[i] + d;
        const double plus = merit(trial);
        if (stopped(gradientPhase)) return false;
        trial[i] = x[i] - d;
        const double minus = merit(trial);
        trial[i] = x[i];
        plusValues[i] = plus;
        minusValues[i] = minus;
        gradient[i] = (plus - minus) / (2.0 * d);
        curvature[i][i] = (plus + minus - 2.0 * y0) / (d * d);
    }

    constexpr FitPhase curvaturePhase = FitPhase::NewtonCurvature;
    const int pairs = n * (n - 1) / 2;
    report(curvaturePhase, ProgressKind::Started, pairs, pairs);
    int remaining = pairs + 1;
    for (int i = 0; i < n; ++i) {
        const double di = step[i];
        for (int j = i + 1; j < n; ++j) {
            const double dj = step[j];
            report(curvaturePhase, ProgressKind::CountDown, --remaining, pairs);
            if (stopped(curvaturePhase)) return false;
            trial[i] = x[i] + di;
            trial[j] = x[j] + dj;
            const double plusPlus = merit(trial);
            if (stopped(curvaturePhase)) return false;
            trial[i] = x[i] - di;
            trial[j] = x[j] - dj;
            const double minusMinus = merit(trial);
            trial[j] = x[j];
            const double axes = plusValues[i] + minusValues[i] + plusValues[j] + minusValues[j];
            curvature[i][j] = curvature[j][i] =
                (plusPlus + minusMinus - axes + 2.0 * y0) / (2.0 * di * dj);
        }
        trial[i] = x[i];
    }

    Matrix inverse;
    try {
        inverse = InvertMatrix(curvature, ws.Fit.MachineEpsilon);
    } catch (const SingularMatrixError& error) {
        // Name the parameter the figure of merit does not depend on.
        throw RunError(error.Message(),
                       "Newton step, parameter " + FreeParameterName(free, error.Row()));
    }
    std::vector<double> moved = x;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) moved[i] -= inverse[i][j] * gradient[j];
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(moved[i])) {
            throw RunError("The Newton step gives a value that is not a finite number.",
                           "parameter " + FreeParameterName(free, i + 1));
        }
    }
    x = moved;
    return true;
}

bool NewtonStep(FitSession& ws, FitObserver& observer, FitStop& stop) {
    return NewtonStep(ws, observer, stop, FigureOfMeritObjective(ws));
}

}  // namespace korvel
