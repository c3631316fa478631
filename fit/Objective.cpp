// The checked figure of merit: one curve evaluation whose result must be finite.

#include "fit/Objective.h"

#include <cmath>
#include <string>

#include "base/RunError.h"
#include "fit/FitSession.h"
#include "fit/CurveEvaluation.h"

namespace korvel {

double EvaluateFigureOfMerit(FitSession& ws, std::span<const double> vertex) {
    const double merit = EvaluateCurve(ws, vertex);
    if (!std::isfinite(merit)) {
        throw RunError("The figure of merit is not a finite number.",
                       "curve evaluation #Calls = " + std::to_string(ws.Fit.EvaluationCount));
    }
    return merit;
}

Objective FigureOfMeritObjective(FitSession& ws) {
    return [&ws](std::span<const double> vertex) { return EvaluateFigureOfMerit(ws, vertex); };
}

}  // namespace korvel
