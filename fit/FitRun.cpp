// The fit's sequence after its inputs are read. Where the search result or a Newton
// section is ready, the model takes the best vertex and the observer receives the
// session; where the program asks a question, the observer decides.

#include "fit/FitRun.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/RunError.h"
#include "fit/CurveEvaluation.h"
#include "fit/FigureOfMerit.h"
#include "fit/FitProgress.h"
#include "fit/FitSession.h"
#include "fit/GlobalSearch.h"
#include "fit/MachineEpsilon.h"
#include "fit/NewtonStep.h"
#include "fit/Objective.h"
#include "fit/Simplex.h"
#include "fit/Uncertainty.h"

namespace korvel {

namespace {

// Checks that every residual has a usable weight before any time is spent on the
// search: all points enter the normalising sum and the uncertainty estimate, and a
// weight whose square or weighted intensity is not a finite number would make the
// figure of merit infinite or not a number.
void CheckWeights(const FitSession& ws) {
    const CurveArrays& curves = ws.Curves;
    const std::string weights = ws.Weighting.FresnelWeights ? " (Fresnel weights)" : "";
    auto where = [&](int i) {
        return ws.Settings.DataFileName + ", point " + std::to_string(i + 1) + weights;
    };
    for (int i = 0; i < curves.PointCount; ++i) {
        const double weight = curves.Uncertainty[i];
        if (weight == 0.0 || !std::isfinite(weight)) {
            throw RunError("The uncertainty of a data point is zero or not a number.", where(i));
        }
        const double inverse = 1.0 / weight;
        const double ratio = curves.MeasuredIntensity[i] / weight;
        if (!std::isfinite(inverse * inverse) || !std::isfinite(ratio * ratio))
            throw RunError(
                "The uncertainty of a data point is too small: its squared weight or weighted "
                "intensity (I / dI)^2 is not a finite number.",
                where(i));
    }
}

// The mean squared weighted intensity, by which the report divides the figure of merit
// ("W_Norma"). Uncertainties so large that every (I / dI)^2 vanishes leave nothing to
// divide by (every figure of merit would be 0 as well); many tiny ones overflow the sum.
double ZeroCurveMerit(const FitSession& ws) {
    const CurveArrays& curves = ws.Curves;
    double sum = 0.0;
    for (int i = 0; i < curves.PointCount; ++i) {
        const double ratio = curves.MeasuredIntensity[i] / curves.Uncertainty[i];
        sum += ratio * ratio;
    }
    const double mean = sum / curves.PointCount;
    if (!std::isfinite(mean))
        throw RunError(
            "The uncertainties of the data are too small: the mean weighted intensity "
            "(I / dI)^2 is not a finite number.",
            ws.Settings.DataFileName);
    if (!(mean >= std::numeric_limits<double>::min()))
        throw RunError(
            "The uncertainties of the data are too large: the mean weighted intensity "
            "(I / dI)^2 is 0 or too small to divide by.",
            ws.Settings.DataFileName);
    return mean;
}

// Every number of a result file must be finite; the figure of merit is, but its ratio
// to the data's mean weighted intensity is checked as well before it is written.
void CheckRelativeMerit(const FitSession& ws, double merit) {
    if (!std::isfinite(merit / ws.Fit.ZeroCurveMerit))
        throw RunError(
            "The figure of merit relative to the weighted data (W_Norma) is not a finite "
            "number.",
            ws.Settings.DataFileName);
}

void Report(FitSession& ws, FitObserver& observer, FitPhase phase, ProgressKind kind) {
    observer.OnProgress(MakeProgress(ws, phase, kind));
}

// Evaluates every vertex of the starting simplex. Returns false when a request to end
// the search came between two evaluations; the lowest vertex evaluated so far is then
// the best vertex, and there is no search.
bool EvaluateInitialSimplex(FitSession& ws, FitObserver& observer, FitStop& stop) {
    FreeParameters& free = ws.Free;
    auto report = [&](ProgressKind kind, int remaining, double seconds) {
        FitProgress progress = MakeProgress(ws, FitPhase::InitialSimplex, kind);
        progress.Remaining = remaining;
        progress.Total = free.VertexCount;
        progress.SecondsPerCurve = seconds;
        observer.OnProgress(progress);
    };
    report(ProgressKind::Started, free.VertexCount, 0.0);
    bool completed = true;
    for (int i = 1; i <= free.VertexCount; ++i) {
        if (i > 1 && StopBeforeEvaluation(ws, observer, stop, FitPhase::InitialSimplex)) {
            completed = false;
            int lowest = 1;
            for (int v = 2; v < i; ++v)
                if (free.VertexMerit[v - 1] < free.VertexMerit[lowest - 1]) lowest = v;
            ws.Fit.BestVertex = static_cast<std::uint16_t>(lowest);
            break;
        }
        const int remaining = free.VertexCount - i + 1;
        report(ProgressKind::VertexStarted, remaining, 0.0);
        const double start = SecondsSinceMidnight();
        free.VertexMerit[i - 1] = EvaluateFigureOfMerit(ws, free.Vertices[i - 1]);
        const double end = SecondsSinceMidnight();
        report(ProgressKind::VertexEvaluated, remaining, end - start);
    }
    report(ProgressKind::Ended, 0, 0.0);
    return completed;
}

void Search(FitSession& ws, FitObserver& observer, FitStop& stop) {
    FreeParameters& free = ws.Free;
    ws.Fit.StopRequested = false;
    ws.Fit.ReferencePoint.assign(free.FreeCount + 1, 0.0);
    Report(ws, observer, FitPhase::Search, ProgressKind::Started);

    while (!ws.Fit.StopRequested) {
        RunLocalSimplex(ws, observer, stop);
        FoldAllVertices(free);
        observer.OnLocalRunEnded(ws);
        if (free.FreeCount >= 1 && ws.Settings.MaxIterations >= 1) {
            GlobalSearchStep(ws, observer, stop);
            FoldAllVertices(free);
        } else {
            ws.Fit.StopRequested = true;
        }
    }

    ws.Fit.ReferencePoint.clear();
    Report(ws, observer, FitPhase::Search, ProgressKind::Ended);
}

// The best vertex from angles to parameter values.
void ConvertBestVertex(FitSession& ws) {
    FreeParameters& free = ws.Free;
    ConvertVertexToValues(ws, free.Vertices[ws.Fit.BestVertex - 1]);
    free.VertexHoldsValues = true;
}

// The model of the best vertex, checked, for a section of the report.
void ReportNewtonModel(FitSession& ws, FitObserver& observer, NewtonSection section,
                       double meritDifference) {
    CheckRelativeMerit(ws, ws.Free.VertexMerit[ws.Fit.BestVertex - 1]);
    AdoptBestVertex(ws);
    observer.OnNewtonSection(ws, section, meritDifference);
}

// After the Newton step has moved the best vertex: keep the Newton point, the
// midpoint or the parabola's minimum, whichever first beats the search result, or
// restore the search result.
void NewtonFollowUp(FitSession& ws, FitObserver& observer, const std::vector<double>& saved) {
    FreeParameters& free = ws.Free;
    const int n = free.FreeCount;
    const int b = ws.Fit.BestVertex - 1;
    std::vector<double>& vertex = free.Vertices[b];
    double& merit = free.VertexMerit[b];
    const double amoeba = saved[n];

    merit = EvaluateFigureOfMerit(ws, vertex);
    const double newton = merit;
    ReportNewtonModel(ws, observer, NewtonSection::NewtonPoint, amoeba - newton);
    if (amoeba > newton) {
        ws.Fit.FinalScaleSmeared = ws.Fit.ScaleSmeared;
        return;
    }

    const std::vector<double> newtonPoint = vertex;
    for (int k = 0; k < n; ++k) vertex[k] = (vertex[k] + saved[k]) / 2.0;
    const double half = EvaluateFigureOfMerit(ws, vertex);
    merit = half;
    observer.OnNewtonSection(ws, NewtonSection::Midpoint, amoeba - half);

    double candidate = half;
    if (amoeba > half) {
        ws.Fit.FinalScaleSmeared = ws.Fit.ScaleSmeared;
    } else {
        // Parabola through (0, amoeba), (1/2, half), (1, newton).
        const double beta = -3.0 * amoeba + 4.0 * half - newton;
        const double gamma = 2.0 * (amoeba - 2.0 * half + newton);
        const double t = -beta / (2.0 * gamma);
        for (int k = 0; k < n; ++k) vertex[k] = saved[k] + t * (newtonPoint[k] - saved[k]);
        bool usable = std::isfinite(t);
        for (double v : vertex) usable = usable && std::isfinite(v);
        // A flat parabola has no vertex: the search result stands.
        candidate = usable ? EvaluateFigureOfMerit(ws, vertex) : amoeba;
        merit = candidate;
        if (usable) observer.OnNewtonSection(ws, NewtonSection::Parabola, amoeba - candidate);
    }

    if (amoeba > candidate) {
        ws.Fit.FinalScaleSmeared = ws.Fit.ScaleSmeared;
        ReportNewtonModel(ws, observer, NewtonSection::OptimizedPoint, amoeba - merit);
    } else {
        vertex.assign(saved.begin(), saved.begin() + n);
        merit = amoeba;
    }
}

}  // namespace

void AdoptBestVertex(FitSession& ws) {
    const FreeParameters& free = ws.Free;
    const int b = ws.Fit.BestVertex - 1;
    for (int k = 1; k <= free.FreeCount; ++k)
        ws.Model.SetValue(free.ModelIndexOfFree(k), free.Vertices[b][k - 1]);
    ws.Fit.BestMerit = free.VertexMerit[b];
}

void PrepareFit(FitSession& ws) {
    FitState& fit = ws.Fit;
    fit.MachineEpsilon = ComputeMachineEpsilon();
    fit.EvaluationCount = 0;
    fit.Evaluations = 0;
    fit.SessionBest = std::numeric_limits<double>::quiet_NaN();
    PrepareResolution(ws);
    fit.Uncertainties.clear();
    if (ws.Weighting.FresnelWeights) {
        for (int i = 0; i < ws.Curves.PointCount; ++i)
            ws.Curves.Uncertainty[i] = FresnelReflectivity(ws, ws.Curves.CosSquared[i]);
        NormaliseWeights(ws);
    }
    CheckWeights(ws);
    fit.ZeroCurveMerit = ZeroCurveMerit(ws);
}

bool EvaluateStartingSimplex(FitSession& ws, FitObserver& observer, FitStop& stop) {
    return EvaluateInitialSimplex(ws, observer, stop);
}

void FinishFit(FitSession& ws, FitObserver& observer, FitStop& stop, bool searched) {
    FreeParameters& free = ws.Free;
    FitState& fit = ws.Fit;
    if (!free.VertexHoldsValues) fit.SearchResultAngles = free.Vertices[fit.BestVertex - 1];
    ConvertBestVertex(ws);
    const int b = fit.BestVertex - 1;
    fit.BestMerit = EvaluateFigureOfMerit(ws, free.Vertices[b]);
    fit.FinalScaleSmeared = fit.ScaleSmeared;
    ws.Curves.BestCurve = ws.Curves.SmearedCurve;
    {
        FitProgress result = MakeProgress(ws, FitPhase::Result, ProgressKind::Evaluated);
        result.BestMerit = fit.BestMerit;
        result.BestVertex = free.Vertices[b];
        observer.OnProgress(result);
    }
    std::vector<double> saved = free.Vertices[b];
    saved.push_back(free.VertexMerit[b]);
    CheckRelativeMerit(ws, free.VertexMerit[b]);
    AdoptBestVertex(ws);
    observer.OnSearchResult(ws);

    if (ws.Settings.FitMode && searched) {
        if (observer.DecideNewtonStep()) {
            Report(ws, observer, FitPhase::Newton, ProgressKind::Started);
            // A stopped step leaves the search result as it was and adds nothing.
            const bool moved = NewtonStep(ws, observer, stop);
            Report(ws, observer, FitPhase::Newton, ProgressKind::Ended);
            if (moved) NewtonFollowUp(ws, observer, saved);
        }
        const bool uncertainty = observer.DecideUncertainty();
        fit.SkipFigureOfMerit = uncertainty;
        fit.BestMerit = free.VertexMerit[b];
        if (uncertainty) {
            fit.Uncertainties = EstimateUncertainties(ws, observer, stop);
            Report(ws, observer, FitPhase::Uncertainty, ProgressKind::Ended);
        }
    }
}

void RunFit(FitSession& ws, FitObserver& observer, FitStop& stop) {
    PrepareFit(ws);
    const bool evaluated = EvaluateInitialSimplex(ws, observer, stop);
    const bool search = ws.Free.FreeCount >= 1 && evaluated;
    if (search) Search(ws, observer, stop);
    FinishFit(ws, observer, stop, search);
}

}  // namespace korvel
