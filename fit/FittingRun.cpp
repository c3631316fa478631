// The fitting run: settings, data, model and limits; the initial simplex; local
// simplex runs alternating with global tunnelling steps until a step gives up or the
// user presses Ctrl+Q; the best vertex as values; the result files; the optional
// Newton step with its fall-backs and the optional uncertainty estimate.

#include "fit/FittingRun.h"

#include <cmath>
#include <string>
#include <vector>

#include "app/CommandFile.h"
#include "app/RunError.h"
#include "app/RunInterface.h"
#include "app/Workspace.h"
#include "engine/CurveEvaluation.h"
#include "fit/FigureOfMerit.h"
#include "fit/GlobalSearch.h"
#include "fit/MachineEpsilon.h"
#include "fit/NewtonStep.h"
#include "fit/Objective.h"
#include "fit/Simplex.h"
#include "fit/Uncertainty.h"
#include "input/DataReader.h"
#include "input/LimitsReader.h"
#include "output/NumberFormat.h"
#include "output/ResultFiles.h"
#include "output/TextFile.h"

namespace korvel {

namespace {

constexpr const char* kFitLogFile = "fitlog.txt";
constexpr const char* kHiddenCaption = "      ";

// Checks that every residual has a usable weight before any time is spent on the
// search: all points enter the normalising sum and the uncertainty estimate.
void CheckWeights(const Workspace& ws) {
    const CurveArrays& curves = ws.Curves;
    for (int i = 0; i < curves.PointCount; ++i) {
        const double weight = curves.Uncertainty[i];
        if (weight == 0.0 || !std::isfinite(weight)) {
            throw RunError("The uncertainty of a data point is zero or not a number.",
                           ws.Settings.DataFileName + ", point " + std::to_string(i + 1));
        }
    }
}

void EvaluateInitialSimplex(Workspace& ws, RunInterface& ui) {
    FreeParameters& free = ws.Free;
    ui.ShowSimplexInitialization(true);
    for (int i = 1; i <= free.VertexCount; ++i) {
        ui.SetSimplexInitField(SimplexInitField::ELoopsRest, FormatI(free.VertexCount - i + 1));
        const double start = SecondsSinceMidnight();
        free.VertexMerit[i - 1] = EvaluateFigureOfMerit(ws, free.Vertices[i - 1]);
        const double end = SecondsSinceMidnight();
        ui.SetSimplexInitField(SimplexInitField::EClcTime, FormatF(end - start, 9, 3));
    }
    ui.ShowSimplexInitialization(false);
}

void Search(Workspace& ws, RunInterface& ui) {
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
        AppendToFile(ws.Files.LocalRunFile, LocalRunLine(ws));
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

    ReadCommandFile(ws);
    SettingsToDialog(ws.Settings, ws.CommandFileDialog);
    ui.ShowCommandFileDialog(ws.CommandFileDialog);
    DialogToSettings(ws.CommandFileDialog, ws.Settings);
    ReadDataFile(ws, ui);
    fit.FitLogEnabled = ws.Options.CreateFitLog;
    ReadModelAndLimits(ws);  // refuses more than 99 free parameters

    fit.EvaluationCount = 0;
    if (ws.Weighting.FresnelWeights) {
        for (int i = 0; i < ws.Curves.PointCount; ++i)
            ws.Curves.Uncertainty[i] = FresnelReflectivity(ws, ws.Curves.CosSquared[i]);
        NormaliseWeights(ws);
    }
    CheckWeights(ws);
    double zeroCurve = 0.0;
    for (int i = 0; i < ws.Curves.PointCount; ++i) {
        const double ratio = ws.Curves.MeasuredIntensity[i] / ws.Curves.Uncertainty[i];
        zeroCurve += ratio * ratio;
    }
    fit.ZeroCurveMerit = zeroCurve / ws.Curves.PointCount;

    EvaluateInitialSimplex(ws, ui);

    // The .loc file holds the local runs of this fit only.
    ReplaceFile(ws.Files.LocalRunFile, "");
    const bool search = free.FreeCount >= 1;
    if (search) Search(ws, ui);

    ConvertBestVertex(ws);
    const int b = fit.BestVertex - 1;
    fit.BestMerit = EvaluateFigureOfMerit(ws, free.Vertices[b]);
    fit.FinalScaleSmeared = fit.ScaleSmeared;
    ws.Curves.BestCurve = ws.Curves.SmearedCurve;
    // The plot may still show a trial of the search (Draw during tunnelling).
    ui.DrawPlot(ws.Curves);
    std::vector<double> saved = free.Vertices[b];
    saved.push_back(free.VertexMerit[b]);
    WriteFitResults(ws);

    if (ws.Settings.FitMode && search) {
        if (ui.AskNewtonStep()) {
            ui.SetTmpMessage("Newton Step in progress: ", TmpMessageStyle::NewtonStep);
            NewtonStep(ws, ui);
            ui.SetTmpMessage(kHiddenCaption, TmpMessageStyle::Hidden);
            NewtonFollowUp(ws, saved);
        }
        const bool uncertainty = ui.AskUncertainty();
        fit.SkipFigureOfMerit = uncertainty;
        fit.BestMerit = free.VertexMerit[b];
        if (uncertainty) EstimateUncertainties(ws);
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
