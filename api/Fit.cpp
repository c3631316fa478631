// The library fit: a session of its own filled from the problem as the readers fill a
// run's, the fit run on it with the caller's progress and stop requests, and the
// result with the texts of the files the program writes for it.

#include <cmath>
#include <string>

#include "api/Conversion.h"
#include "api/FitCollector.h"
#include "api/FitSetup.h"
#include "base/RunError.h"
#include "fit/FitProgress.h"
#include "fit/FitRun.h"
#include "fit/FitSession.h"
#include "fit/FittedValues.h"
#include "fit/GlobalFit.h"
#include "fit/Residuals.h"
#include "fit/StartingSimplex.h"
#include "input/DataReader.h"
#include "korvel/korvel.h"
#include "model/RunOptions.h"

namespace korvel::api {

namespace {

static_assert(static_cast<int>(api::ResolutionSource::Model) ==
              static_cast<int>(korvel::ResolutionSource::Model));
static_assert(static_cast<int>(api::LimitMark::AtUpper) ==
              static_cast<int>(korvel::LimitMark::AtUpper));
static_assert(api::kDefaultMaxRespreads == korvel::kDefaultMaxRespreads);
static_assert(static_cast<int>(api::SearchMethod::ParticleSwarm) ==
              static_cast<int>(korvel::SearchMethod::ParticleSwarm));

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
    session.Options.Resolution = static_cast<korvel::ResolutionSource>(problem.Resolution);
    if (control.Population < 0 || control.Generations < 0)
        throw RunError("The population and the generations must not be negative.",
                       "Fit: population " + std::to_string(control.Population) +
                           ", generations " + std::to_string(control.Generations));
    session.Options.Search.Method = static_cast<korvel::SearchMethod>(control.Search);
    session.Options.Search.Population = control.Population;
    session.Options.Search.Generations = control.Generations;
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

// Each fitted parameter's start value, limits and limit mark, in the sample's units as
// the problem gives them (the limits file's units are the model file's).
void AddStartsAndLimits(const FitSession& finished, const FitProblem& problem, FitResult& result) {
    const auto count = static_cast<int>(result.Parameters.size());
    for (int k = 1; k <= count; ++k) {
        const int j = finished.Free.ModelIndexOfFree(k);
        const auto row = static_cast<std::size_t>(j - 1);
        if (j < 1 || row >= problem.Bounds.Parameters.size() || row / 4 >= problem.Model.Layers.size())
            continue;
        FittedParameter& parameter = result.Parameters[k - 1];
        const Layer& layer = problem.Model.Layers[row / 4];
        const double columns[] = {layer.Thickness, layer.ReDensity, layer.ImDensity,
                                  layer.Roughness};
        parameter.Start = columns[row % 4];
        parameter.Lower = problem.Bounds.Parameters[row].Lower;
        parameter.Upper = problem.Bounds.Parameters[row].Upper;
        parameter.Mark = static_cast<LimitMark>(
            MarkOfLimits(parameter.Value, parameter.Lower, parameter.Upper));
    }
}

}  // namespace

void SetUpSession(FitSession& session, const FitProblem& problem, const FitControl& control) {
    SetChoices(session, problem, control);
    SetInputs(session, problem);
}

std::string SearchMethodName(SearchMethod method) {
    return std::string(korvel::SearchMethodName(static_cast<korvel::SearchMethod>(method)));
}

std::optional<SearchMethod> SearchMethodOfName(const std::string& name) {
    const std::optional<korvel::SearchMethod> method = korvel::SearchMethodFromName(name);
    if (!method) return std::nullopt;
    return static_cast<SearchMethod>(*method);
}

FitResult Fit(const FitProblem& problem, const FitControl& control) {
    try {
        FitSession session;
        SetUpSession(session, problem, control);
        FitStop stop;
        FitCollector collector(control, stop, problem.Model.Units);
        const GlobalFitSummary summary = RunFitWithSearch(session, collector, stop);
        FitResult result = collector.Finish(session);
        result.Method = control.Search;
        result.Generations = summary.Generations;
        AddStartsAndLimits(session, problem, result);
        result.DataFileName = problem.DataFileName;
        result.ModelFileName = problem.ModelFileName;
        result.LimitsFileName = problem.LimitsFileName;
        return result;
    } catch (...) {
        // The engine knows no names: its errors are the model's.
        RethrowWithPlace(NameOr(problem.ModelFileName, "Fit"));
    }
}

std::vector<double> Residuals(const FitResult& result) {
    const Curve& measured = result.Measured;
    if (measured.Intensity.size() != result.Smeared.Intensity.size() ||
        measured.Uncertainty.size() != measured.Intensity.size())
        throw RunError("The fit result's curves differ in length.", "Residuals");
    return NormalisedResiduals(measured.Intensity, result.Smeared.Intensity,
                               measured.Uncertainty);
}

}  // namespace korvel::api
