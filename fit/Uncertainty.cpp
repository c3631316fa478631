// Parameter uncertainties from the inverse of the weighted curvature matrix of the
// smeared curve's sensitivities, 2N curve evaluations.

#include "fit/Uncertainty.h"

#include <cmath>
#include <vector>

#include "base/NumberFormat.h"
#include "base/RunError.h"
#include "fit/CurveEvaluation.h"
#include "fit/FitProgress.h"
#include "fit/FitSession.h"
#include "fit/MatrixInversion.h"
#include "fit/NewtonStep.h"

namespace korvel {

std::vector<double> EstimateUncertainties(FitSession& ws, FitObserver& observer, FitStop& stop,
                                          const CurveEvaluator& evaluate) {
    FreeParameters& free = ws.Free;
    CurveArrays& curves = ws.Curves;
    const int n = free.FreeCount;
    const int points = curves.PointCount;
    const std::vector<double> x = free.Vertices[ws.Fit.BestVertex - 1];
    std::vector<double>& trial = free.Trial;
    trial = x;

    auto report = [&](ProgressKind kind, int remaining) {
        FitProgress progress = MakeProgress(ws, FitPhase::Uncertainty, kind);
        progress.Remaining = remaining;
        progress.Total = n;
        observer.OnProgress(progress);
    };
    // A stopped estimate leaves the switch as a finished one does.
    auto stopped = [&] {
        if (!StopBeforeEvaluation(ws, observer, stop, FitPhase::Uncertainty)) return false;
        ws.Fit.SkipFigureOfMerit = false;
        return true;
    };
    report(ProgressKind::Started, n);
    Matrix sensitivity(n, std::vector<double>(points));
    for (int k = 0; k < n; ++k) {
        report(ProgressKind::CountDown, n - k);
        const double d = DifferenceStep(free, k + 1, x[k]);
        if (stopped()) return {};
        trial[k] = x[k] + d;
        evaluate(trial);
        sensitivity[k] = curves.SmearedCurve;
        if (stopped()) return {};
        trial[k] = x[k] - d;
        evaluate(trial);
        for (int j = 0; j < points; ++j)
            sensitivity[k][j] = (sensitivity[k][j] - curves.SmearedCurve[j]) / (2.0 * d);
        trial[k] = x[k];
    }

    Matrix curvature(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < n; ++k) {
            double sum = 0.0;
            for (int j = 0; j < points; ++j) {
                const double weight = 1.0 / curves.Uncertainty[j];
                sum += sensitivity[k][j] * weight * weight * sensitivity[i][j];
            }
            curvature[i][k] = sum;
        }
    }

    Matrix inverse;
    try {
        inverse = InvertMatrix(curvature, ws.Fit.MachineEpsilon);
    } catch (const SingularMatrixError& error) {
        // The curve does not depend on this parameter.
        throw RunError(error.Message(),
                       "uncertainty estimate, parameter " + FreeParameterName(free, error.Row()));
    }
    // A table of "Nan" would look like a result. Negative measured intensities give a
    // negative scale factor; a curvature matrix that is not positive definite (nearly
    // singular, its zero pivots replaced) gives a negative variance.
    const double scale = ws.Fit.FinalScaleSmeared;
    if (!(scale > 0.0) || !std::isfinite(scale))
        throw RunError(
            "Parameter uncertainties cannot be estimated: the scale factor of the "
            "fitted curve is " +
                FormatE(scale, 12) + ", not positive.",
            ws.Settings.DataFileName);
    std::vector<double> uncertainties(n);
    for (int k = 0; k < n; ++k) {
        const double variance = ws.Fit.BestMerit * inverse[k][k] / scale;
        if (!(variance >= 0.0) || !std::isfinite(variance))
            throw RunError(
                "Parameter uncertainties cannot be estimated: the curvature matrix "
                "gives no variance for this parameter.",
                "uncertainty estimate, parameter " + FreeParameterName(free, k + 1));
        uncertainties[k] = std::sqrt(variance);
    }

    ws.Fit.SkipFigureOfMerit = false;
    observer.OnUncertainties(ws, x, uncertainties);
    return uncertainties;
}

std::vector<double> EstimateUncertainties(FitSession& ws, FitObserver& observer, FitStop& stop) {
    return EstimateUncertainties(ws, observer, stop,
                                 [&ws](std::span<const double> v) { EvaluateCurve(ws, v); });
}

}  // namespace korvel
