// The common fields of a progress record, and the stop check between evaluations.

#include "fit/FitProgress.h"

#include "fit/FitSession.h"

namespace korvel {

FitProgress MakeProgress(const FitSession& session, FitPhase phase, ProgressKind kind) {
    FitProgress progress;
    progress.Phase = phase;
    progress.Kind = kind;
    progress.Evaluations = session.Fit.Evaluations;
    progress.Calls = session.Fit.EvaluationCount;
    progress.SessionBest = session.Fit.SessionBest;
    progress.Curves = &session.Curves;
    return progress;
}

bool StopBeforeEvaluation(const FitSession& session, FitObserver& observer, FitStop& stop,
                          FitPhase phase) {
    observer.OnProgress(MakeProgress(session, phase, ProgressKind::BetweenEvaluations));
    // Only the whole-search request stops these phases; a request to end a simplex run
    // stays for the next one.
    return stop.EndSearch.exchange(false);
}

}  // namespace korvel
