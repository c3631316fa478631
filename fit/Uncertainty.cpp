// Parameter uncertainties from the inverse of the weighted curvature matrix of the
// smeared curve's sensitivities, 2N curve evaluations.

#include "fit/Uncertainty.h"

#include <cmath>
#include <vector>

#include "base/RunError.h"
#include "app/RunInterface.h"
#include "app/Workspace.h"
#include "fit/CurveEvaluation.h"
#include "fit/MatrixInversion.h"
#include "fit/NewtonStep.h"
#include "fit/UserStop.h"
#include "base/ParameterIndex.h"
#include "base/NumberFormat.h"
#include "base/TextFile.h"

namespace korvel {

namespace {

std::string RightAligned(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// dParam / value in F(7.4); a value of 0 has no relative uncertainty: "    Inf".
std::string Quota(double uncertainty, double value) {
    const double quota = uncertainty / value;
    if (value == 0.0 || !std::isfinite(quota)) return RightAligned("Inf", 7);
    return FormatF(quota, 7, 4);
}

}  // namespace

std::string UncertaintyTable(const Workspace& ws, std::span<const double> values,
                             std::span<const double> uncertainties) {
    std::string text = kLineEnd;
    text += std::string("Estimation of Parameters Uncertainties") + kLineEnd;
    text += kLineEnd;
    text += RightAligned("Param", 15) + RightAligned("dParam", 19) + RightAligned("Quota", 13) +
            RightAligned("Shift", 11) + kLineEnd;
    for (int k = 1; k <= ws.Free.FreeCount; ++k) {
        const int j = ws.Free.ModelIndexOfFree(k);
        text += std::string("[") + ParameterLabel(j) + ":" + FormatI(LayerOf(j)) + "]";
        text += "   " + FormatE(values[k - 1], 15) + "   " + FormatE(uncertainties[k - 1], 12) +
                " (" + Quota(uncertainties[k - 1], values[k - 1]) + ")" + kLineEnd;
    }
    text += kLineEnd;
    return text;
}

namespace {

std::vector<double> Estimate(Workspace& ws, RunInterface* ui, const CurveEvaluator& evaluate) {
    FreeParameters& free = ws.Free;
    CurveArrays& curves = ws.Curves;
    const int n = free.FreeCount;
    const int points = curves.PointCount;
    const std::vector<double> x = free.Vertices[ws.Fit.BestVertex - 1];
    std::vector<double>& trial = free.Trial;
    trial = x;

    // A stopped estimate leaves the switch as a finished one does.
    auto stopped = [&] {
        if (ui == nullptr || !UserAskedToStop(*ui)) return false;
        ws.Fit.SkipFigureOfMerit = false;
        return true;
    };
    std::string caption = "Uncertainty estimate in progress:  To be done ";
    if (ui) ui->SetTmpMessage(caption, TmpMessageStyle::NewtonStep);
    Matrix sensitivity(n, std::vector<double>(points));
    for (int k = 0; k < n; ++k) {
        if (ui) {
            caption += std::to_string(n - k);
            ui->SetTmpMessage(caption, TmpMessageStyle::NewtonStep);
        }
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
    AppendToFile(ws.Files.ResultModelFile, UncertaintyTable(ws, x, uncertainties));
    return uncertainties;
}

}  // namespace

std::vector<double> EstimateUncertainties(Workspace& ws, const CurveEvaluator& evaluate) {
    return Estimate(ws, nullptr, evaluate);
}

std::vector<double> EstimateUncertainties(Workspace& ws, RunInterface& ui) {
    return Estimate(ws, &ui, [&ws](std::span<const double> v) { EvaluateCurve(ws, v); });
}

}  // namespace korvel
