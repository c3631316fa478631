// The library fit: a session of its own filled from the problem as the readers fill a
// run's, the fit run on it with the caller's progress and stop requests, and the
// result with the texts of the files the program writes for it.

#include <cmath>
#include <string>

#include "api/Conversion.h"
#include "api/FitCollector.h"
#include "base/RunError.h"
#include "fit/FitProgress.h"
#include "fit/FitRun.h"
#include "fit/FitSession.h"
#include "fit/StartingSimplex.h"
#include "input/DataReader.h"
#include "korvel/korvel.h"
#include "model/RunOptions.h"

namespace korvel::api {

namespace {

static_assert(api::kDefaultMaxRespreads == korvel::kDefaultMaxRespreads);

constexpr int kLargestIterationCount = 65535;  // the iteration counter is 16 bits

void CheckFinite(double value, const char* what) {
    if (!std::isfinite(value)) throw RunError("Invalid numeric input", std::string("Fit: ") + what);
}

// The settings, weighting and options as a fitting run has them after its dialogs.
void SetChoices(FitSession& session, const FitProblem& problem, const FitControl& control) {
    CheckFinite(problem.Tolerance, "the tolerance");
    CheckFinite(problem.CutOff, "the cut-off level");
    CheckFinite(problem.ErrorFraction, "the error fraction");
    if (problem.MaxIterations < 0 || problem.MaxIterations > kLargestIterationCount)
        throw RunError("Maximum number of iterations " + std::to_string(problem.MaxIterations) +
                           " out of range (0 to 65535).",
                       "Fit: the maximum number of iterations");
    if (control.MaxRespreads < -1)
        throw RunError("The bound on re-spreads must be -1 (no bound) or more.",
                       "Fit: " + std::to_string(control.MaxRespreads) + " re-spreads");

    RunSettings& s = session.Settings;
    s.CommandFileName.clear();
    s.DataFileName = problem.DataFileName;
    s.ModelFileName = problem.ModelFileName;
    s.LimitsFileName = problem.LimitsFileName;
    s.FitMode = problem.FitMode;
    s.DataScaled = problem.DataScaled;
    s.ErrorsFromFile = problem.Weights == Weighting::FromData;
    s.FitTolerance = problem.Tolerance;
    s.MaxIterations = static_cast<std::uint16_t>(problem.MaxIterations);
    s.CutOffLevel = problem.CutOff;
    s.CalculationMode = MethodLetter(problem.Method);
    s.RepeatUnitFixed = problem.RepeatUnitFixed;
    s.QzInverseAngstrom = problem.QzAbscissa;
    s.DensityUnits = DensityUnitsIndex(problem.Model.Units, NameOr(problem.ModelFileName, "model"));

    WeightingState& w = session.Weighting;
    w.FresnelWeights = problem.Weights == Weighting::Fresnel;
    w.FractionWeights = problem.Weights == Weighting::Fraction;
    w.ErrorFraction = problem.ErrorFraction;

    session.Options.Seed = control.Seed;
    session.Options.MaxRespreads = control.MaxRespreads;
    session.Options.Threads = control.Threads;
}

// The data, model and limits in the order a run reads them, with the same checks.
void SetInputs(FitSession& session, const FitProblem& problem) {
    const DataPoints data = ToDataPoints(problem.Data, session.Settings.ErrorsFromFile,
                                         NameOr(problem.DataFileName, "data"));
    FillMeasuredCurves(data, false, problem.Model.Wavelength, session.Weighting, session.Curves);
    session.Model = ToLayerModel(problem.Model, NameOr(problem.ModelFileName, "model"));
    session.Warnings.Texts = problem.Warnings;
    const LimitsTable limits =
        ToLimitsTable(problem.Bounds, session.Model.ParameterCount, !problem.FitMode,
                      NameOr(problem.LimitsFileName, "limits"));
    BuildFreeParameters(session, limits);
    session.Fit.BestVertex = 1;
}

}  // namespace

FitResult Fit(const FitProblem& problem, const FitControl& control) {
    try {
        FitSession session;
        SetChoices(session, problem, control);
        SetInputs(session, problem);
        FitStop stop;
        FitCollector collector(control, stop, problem.Model.Units);
        RunFit(session, collector, stop);
        FitResult result = collector.Finish(session);
        result.DataFileName = problem.DataFileName;
        result.ModelFileName = problem.ModelFileName;
        result.LimitsFileName = problem.LimitsFileName;
        return result;
    } catch (...) {
        // The engine knows no names: its errors are the model's.
        RethrowWithPlace(NameOr(problem.ModelFileName, "Fit"));
    }
}

}  // namespace korvel::api
