// The fitting run: settings, data, model and limits; the initial simplex; local
// simplex runs alternating with global tunnelling steps until a step gives up or the
// user presses Ctrl+Q; the best vertex as values; the result files; the optional
// Newton step with its fall-backs and the optional uncertainty estimate.

#include "app/FittingRun.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "app/FitInputs.h"
#include "base/RunError.h"
#include "app/RunInterface.h"
#include "app/Workspace.h"
#include "fit/CurveEvaluation.h"
#include "fit/FigureOfMerit.h"
#include "fit/GlobalSearch.h"
#include "fit/MachineEpsilon.h"
#include "fit/NewtonStep.h"
#include "fit/Objective.h"
#include "fit/Simplex.h"
#include "fit/Uncertainty.h"
#include "fit/UserStop.h"
#include "base/NumberFormat.h"
#include "output/ResultFiles.h"
#include "base/ResultSetWriter.h"
#include "base/TextFile.h"
#include "model/RunFilePath.h"

namespace korvel {

namespace {

constexpr const char* kFitLogFile = "fitlog.txt";
constexpr const char* kHiddenCaption = "      ";

// Checks that every residual has a usable weight before any time is spent on the
// search: all points enter the normalising sum and the uncertainty estimate, and a
// weight whose square or weighted intensity is not a finite number would make the
// figure of merit infinite or not a number.
void CheckWeights(const Workspace& ws) {
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
double ZeroCurveMerit(const Workspace& ws) {
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
void CheckRelativeMerit(const Workspace& ws, double merit) {
    if (!std::isfinite(merit / ws.Fit.ZeroCurveMerit))
        throw RunError(
            "The figure of merit relative to the weighted data (W_Norma) is not a finite "
            "number.",
            ws.Settings.DataFileName);
}

// Evaluates every vertex of the starting simplex. Returns false when the user stopped
// it (Ctrl+Q, Ctrl+C) between two evaluations; the lowest vertex evaluated so far is
// then the best vertex, and there is no search.
bool EvaluateInitialSimplex(Workspace& ws, RunInterface& ui) {
    FreeParameters& free = ws.Free;
    ui.ShowSimplexInitialization(true);
    bool completed = true;
    for (int i = 1; i <= free.VertexCount; ++i) {
        if (i > 1 && UserAskedToStop(ui)) {
            completed = false;
            int lowest = 1;
            for (int v = 2; v < i; ++v)
                if (free.VertexMerit[v - 1] < free.VertexMerit[lowest - 1]) lowest = v;
            ws.Fit.BestVertex = static_cast<std::uint16_t>(lowest);
            break;
        }
        ui.SetSimplexInitField(SimplexInitField::ELoopsRest, FormatI(free.VertexCount - i + 1));
        const double start = SecondsSinceMidnight();
        free.VertexMerit[i - 1] = EvaluateFigureOfMerit(ws, free.Vertices[i - 1]);
        const double end = SecondsSinceMidnight();
        ui.SetSimplexInitField(SimplexInitField::EClcTime, FormatF(end - start, 9, 3));
    }
    ui.ShowSimplexInitialization(false);
    return completed;
}

void Search(Workspace& ws, RunInterface& ui, ResultSetWriter& results) {
    FreeParameters& free = ws.Free;
    ui.SetDrawEnabled(true);
    ws.Fit.StopRequested = false;
    ws.Fit.ReferencePoint.assign(free.FreeCount + 1, 0.0);
    ui.ShowFittingInformation(true);
    ui.SetTmpMessage("Press Ctrl+Q to terminate fitting", TmpMessageStyle::FittingHint);
    ui.ShowPlotWindow();
    if (ws.Fit.FitLogEnabled) ReplaceFile(kFitLogFile, "");

    while (!ws.Fit.StopRequested) {
        RunLocalSimplex(ws, ui);
        FoldAllVertices(free);
        results.Append(ws.Files.LocalRunFile, LocalRunLine(ws));
        if (free.FreeCount >= 1 && ws.Settings.MaxIterations >= 1) {
            GlobalSearchStep(ws, ui);
            FoldAllVertices(free);
        } else {
            ws.Fit.StopRequested = true;
        }
    }

    ui.ShowMessage("End of Global Fitting");
    ui.ShowFittingInformation(false);
    ws.Fit.ReferencePoint.clear();
    ui.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
}

// The best vertex from angles to parameter values.
void ConvertBestVertex(Workspace& ws) {
    FreeParameters& free = ws.Free;
    ConvertVertexToValues(ws, free.Vertices[ws.Fit.BestVertex - 1]);
    free.VertexHoldsValues = true;
}

void AppendModelSection(Workspace& ws, const char* heading, std::string& text) {
    CheckRelativeMerit(ws, ws.Free.VertexMerit[ws.Fit.BestVertex - 1]);
    text += kLineEnd;
    text += std::string(heading) + kLineEnd;
    text += kLineEnd;
    WriteModelBlock(ws, text);
}

// After the Newton step has moved the best vertex: keep the Newton point, the
// midpoint or the parabola's minimum, whichever first beats the search result, or
// restore the search result.
void NewtonFollowUp(Workspace& ws, const std::vector<double>& saved) {
    FreeParameters& free = ws.Free;
    const int n = free.FreeCount;
    const int b = ws.Fit.BestVertex - 1;
    std::vector<double>& vertex = free.Vertices[b];
    double& merit = free.VertexMerit[b];
    const std::string& file = ws.Files.ResultModelFile;
    const double amoeba = saved[n];

    merit = EvaluateFigureOfMerit(ws, vertex);
    const double newton = merit;
    std::string text;
    AppendModelSection(ws, "Model after Neuton step", text);
    text += "Xi2_Amoeba - Xi2_Newton = " + FormatE(amoeba - newton, 12) + kLineEnd;
    AppendToFile(file, text);
    if (amoeba > newton) {
        ws.Fit.FinalScaleSmeared = ws.Fit.ScaleSmeared;
        return;
    }

    const std::vector<double> newtonPoint = vertex;
    for (int k = 0; k < n; ++k) vertex[k] = (vertex[k] + saved[k]) / 2.0;
    const double half = EvaluateFigureOfMerit(ws, vertex);
    merit = half;
    AppendToFile(file, std::string("1/2 between Amoeba and Newton - Done.") + kLineEnd);

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
        if (usable) {
            AppendToFile(file, std::string("Parabolic approximation between Amoeba and Newton - "
                                           "Done.") +
                                   kLineEnd);
        }
    }

    if (amoeba > candidate) {
        ws.Fit.FinalScaleSmeared = ws.Fit.ScaleSmeared;
        std::string section;
        AppendModelSection(ws, "Model after Optimized Neuton step", section);
        section += "Xi2_Amoeba - Xi2_Newton = " + FormatE(amoeba - merit, 12) + kLineEnd;
        section += "#ITER= " + FormatI(ws.Fit.IterationCount) +
                   "  #Calls= " + FormatI(ws.Fit.EvaluationCount) + kLineEnd;
        AppendToFile(file, section);
    } else {
        vertex.assign(saved.begin(), saved.begin() + n);
        merit = amoeba;
    }
}

void RunFittingSteps(Workspace& ws, RunInterface& ui) {
    FreeParameters& free = ws.Free;
    FitState& fit = ws.Fit;
    fit.MachineEpsilon = ComputeMachineEpsilon();
    free.VertexHoldsValues = false;
    fit.BestVertex = 1;
    ws.Files.Written = false;
    ws.Inputs.Clear();

    // Holds the result files locked to the end of the run, Newton and uncertainty
    // sections included.
    ResultSetWriter results = ReadFitInputs(ws, ui);
    fit.FitLogEnabled = ws.Options.CreateFitLog;

    fit.EvaluationCount = 0;
    if (ws.Weighting.FresnelWeights) {
        for (int i = 0; i < ws.Curves.PointCount; ++i)
            ws.Curves.Uncertainty[i] = FresnelReflectivity(ws, ws.Curves.CosSquared[i]);
        NormaliseWeights(ws);
    }
    CheckWeights(ws);
    fit.ZeroCurveMerit = ZeroCurveMerit(ws);

    const bool evaluated = EvaluateInitialSimplex(ws, ui);

    // The .loc file holds the local runs of this fit only; it is put into place with
    // the .bst and .pct.
    results.Write(ws.Files.LocalRunFile, "");
    const bool search = free.FreeCount >= 1 && evaluated;
    if (search) Search(ws, ui, results);

    ConvertBestVertex(ws);
    const int b = fit.BestVertex - 1;
    fit.BestMerit = EvaluateFigureOfMerit(ws, free.Vertices[b]);
    fit.FinalScaleSmeared = fit.ScaleSmeared;
    ws.Curves.BestCurve = ws.Curves.SmearedCurve;
    // The plot may still show a trial of the search (Draw during tunnelling).
    ui.DrawPlot(ws.Curves);
    std::vector<double> saved = free.Vertices[b];
    saved.push_back(free.VertexMerit[b]);
    CheckRelativeMerit(ws, free.VertexMerit[b]);
    WriteFitResults(ws, results);

    if (ws.Settings.FitMode && search) {
        if (ui.AskNewtonStep()) {
            ui.SetTmpMessage("Newton Step in progress: ", TmpMessageStyle::NewtonStep);
            // A stopped step leaves the search result as it was and adds nothing.
            const bool moved = NewtonStep(ws, ui);
            ui.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
            if (moved) NewtonFollowUp(ws, saved);
        }
        const bool uncertainty = ui.AskUncertainty();
        fit.SkipFigureOfMerit = uncertainty;
        fit.BestMerit = free.VertexMerit[b];
        if (uncertainty) {
            EstimateUncertainties(ws, ui);
            ui.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
        }
    }

    ui.SetDrawEnabled(false);
    ui.ShowMessage("Done!!!   Press OK to continue");
}

}  // namespace

void RunFitting(Workspace& ws, RunInterface& ui) {
    try {
        RunFittingSteps(ws, ui);
    } catch (...) {
        // A failed run leaves no run window or hint behind.
        ws.Fit.SkipFigureOfMerit = false;
        ws.Fit.ReferencePoint.clear();
        ui.ShowSimplexInitialization(false);
        ui.ShowFittingInformation(false);
        ui.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
        ui.SetDrawEnabled(false);
        RethrowWithPlace(RunFilePath(ws.Settings, ws.Settings.ModelFileName));
    }
}

}  // namespace korvel
