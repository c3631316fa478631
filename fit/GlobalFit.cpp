// The population search on the fit's figure of merit, then the polishing local runs
// and the result sequence shared with the tunnelling fit.

#include "fit/GlobalFit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "fit/FitProgress.h"
#include "fit/FitRun.h"
#include "fit/FitSession.h"
#include "fit/Objective.h"
#include "fit/PopulationEvaluator.h"
#include "fit/PopulationSearch.h"
#include "fit/Simplex.h"

namespace korvel {

namespace {

// Polishing restarts the simplex around its own minimum while that still gains more
// than this relative amount; a simplex that shrank onto a ridge often stops short.
constexpr double kRestartGain = 1e-6;
constexpr int kMostPolishingRuns = 4;
// Edge of the polishing simplex in the angle coordinate: about 2.5 % of a range around
// its middle, enough to span the basin the population has found.
constexpr double kPolishStep = 0.05;

// The simplex around `best` (angles): best, then one step along each coordinate,
// towards the middle of the range so that no step folds back.
void SpreadAround(FreeParameters& free, const std::vector<double>& best) {
    for (int i = 1; i <= free.VertexCount; ++i) {
        std::vector<double>& vertex = free.Vertices[i - 1];
        vertex = best;
        if (i == 1) continue;
        double& angle = vertex[i - 2];
        angle += angle < -std::numbers::pi / 2.0 ? kPolishStep : -kPolishStep;
    }
}

// Local runs from the best member until one gains too little; the observer hears of
// each run (the .loc lines) as in the tunnelling fit's search.
int Polish(FitSession& ws, FitObserver& observer, FitStop& stop) {
    FreeParameters& free = ws.Free;
    ws.Fit.StopRequested = false;
    observer.OnProgress(MakeProgress(ws, FitPhase::Search, ProgressKind::Started));
    int runs = 0;
    double previous = free.VertexMerit[ws.Fit.BestVertex - 1];
    while (!ws.Fit.StopRequested && runs < kMostPolishingRuns && ws.Settings.MaxIterations >= 1) {
        RunLocalSimplex(ws, observer, stop);
        FoldAllVertices(free);
        observer.OnLocalRunEnded(ws);
        ++runs;
        const double merit = free.VertexMerit[ws.Fit.BestVertex - 1];
        if (!(previous - merit > kRestartGain * std::fabs(previous))) break;
        previous = merit;
        const std::vector<double> best = free.Vertices[ws.Fit.BestVertex - 1];
        SpreadAround(free, best);
        // The restart's vertices are evaluated quietly: a fresh starting simplex would
        // also start the .loc file afresh.
        for (int i = 1; i <= free.VertexCount; ++i)
            free.VertexMerit[i - 1] = EvaluateFigureOfMerit(ws, free.Vertices[i - 1]);
    }
    observer.OnProgress(MakeProgress(ws, FitPhase::Search, ProgressKind::Ended));
    return runs;
}

}  // namespace

GlobalFitSummary RunGlobalFit(FitSession& ws, const SearchOptions& options, FitObserver& observer,
                              FitStop& stop) {
    FreeParameters& free = ws.Free;
    GlobalFitSummary summary;
    summary.Method = options.Method;
    PrepareFit(ws);

    if (free.FreeCount >= 1) {
        PopulationEvaluator evaluator(ws, ws.Options.Threads);
        PopulationSettings settings;
        settings.Method = options.Method;
        settings.Population = options.Population;
        settings.Generations = options.Generations;
        settings.Seed = ws.Random();
        const int total =
            settings.Generations > 0 ? settings.Generations : DefaultGenerations(options.Method);
        std::vector<double> bestAngles;
        const auto onGeneration = [&](const GenerationReport& generation) {
            bestAngles = UnitToAngles(generation.BestMember);
            FitProgress progress = MakeProgress(ws, FitPhase::Population, ProgressKind::Generation);
            progress.Generation = generation.Generation;
            progress.Total = total;
            progress.BestMerit = generation.BestMerit;
            progress.MedianMerit = generation.MedianMerit;
            progress.BestVertex = bestAngles;
            observer.OnProgress(progress);
            return stop.EndSearch.exchange(false);
        };
        observer.OnProgress(MakeProgress(ws, FitPhase::Population, ProgressKind::Started));
        const PopulationResult result = RunPopulationSearch(
            free.FreeCount, settings, evaluator.Objective(ws), onGeneration);
        summary.Generations = result.Generations;
        summary.SearchEvaluations = ws.Fit.Evaluations;
        summary.SearchBestMerit = result.BestMerit;
        summary.Converged = result.Converged;
        summary.Stopped = result.Stopped;
        observer.OnProgress(MakeProgress(ws, FitPhase::Population, ProgressKind::Ended));
        SpreadAround(free, UnitToAngles(result.BestMember));
        ws.Fit.BestVertex = 1;
    }

    // The polishing simplex is evaluated as a fit's starting simplex (so the result
    // files are prepared as usual); a stop there keeps the best vertex evaluated.
    const bool evaluated = EvaluateStartingSimplex(ws, observer, stop);
    const bool searched = free.FreeCount >= 1 && evaluated;
    if (searched) summary.PolishingRuns = Polish(ws, observer, stop);
    FinishFit(ws, observer, stop, searched);
    return summary;
}

GlobalFitSummary RunFitWithSearch(FitSession& ws, FitObserver& observer, FitStop& stop) {
    if (ws.Options.Search.Method == SearchMethod::Tunnelling) {
        RunFit(ws, observer, stop);
        return {};
    }
    return RunGlobalFit(ws, ws.Options.Search, observer, stop);
}

}  // namespace korvel
