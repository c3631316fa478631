// The final model of a fit on a copy of its session.

#include "fit/FinalModel.h"

#include <vector>

#include "base/RunError.h"
#include "fit/CurveEvaluation.h"
#include "fit/FitRun.h"
#include "fit/FitSession.h"

namespace korvel {

FitSession FinalModelSession(const FitSession& finished) {
    const FreeParameters& free = finished.Free;
    const int best = finished.Fit.BestVertex;
    if (!free.VertexHoldsValues || best < 1 || best > static_cast<int>(free.Vertices.size()))
        throw RunError("The fit has no result to show yet.");
    FitSession session = finished;
    session.Fit.SkipFigureOfMerit = false;
    const std::vector<double> vertex = session.Free.Vertices[best - 1];
    const double merit = EvaluateCurve(session, vertex);
    AdoptBestVertex(session);
    session.Fit.BestMerit = merit;
    session.Curves.BestCurve = session.Curves.SmearedCurve;
    return session;
}

}  // namespace korvel
