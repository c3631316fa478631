// What the library computes around a fit: the figure of merit at given parameter
// values, the posterior of the free parameters, and a sample's density profile.

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "api/Conversion.h"
#include "api/FitCollector.h"
#include "api/FitSetup.h"
#include "base/RunError.h"
#include "engine/DensityProfile.h"
#include "fit/FitRun.h"
#include "fit/FitSession.h"
#include "fit/Objective.h"
#include "fit/PopulationEvaluator.h"
#include "fit/PosteriorSampling.h"
#include "fit/StartingSimplex.h"
#include "input/ModelReader.h"
#include "korvel/korvel.h"

namespace korvel::api {

namespace {

// A fit's session on the problem with every check a fit makes, ready to evaluate.
void PrepareSession(FitSession& session, const FitProblem& problem, const FitControl& control,
                    const char* what) {
    SetUpSession(session, problem, control);
    if (session.Free.FreeCount < 1)
        throw RunError("There is no free parameter to " + std::string(what) + ".");
    PrepareFit(session);
}

// The fit's angle vector of `values` (the free parameters in model order, file units),
// built as a fit builds its starting vertex from a model holding them, so that links
// and a fixed repeat-unit length map exactly as in a fit.
std::vector<double> AnglesOfValues(const FitSession& session, const FitProblem& problem,
                                   const LimitsTable& limits, const double* values) {
    Sample sample = problem.Model;
    for (int k = 1; k <= session.Free.FreeCount; ++k) {
        const auto row = static_cast<std::size_t>(session.Free.ModelIndexOfFree(k) - 1);
        Layer& layer = sample.Layers[row / 4];
        double* columns[] = {&layer.Thickness, &layer.ReDensity, &layer.ImDensity,
                             &layer.Roughness};
        *columns[row % 4] = values[k - 1];
    }
    FitSession scratch;
    scratch.Settings = session.Settings;
    scratch.Options.Seed = 0;
    scratch.Model = ToLayerModel(sample, NameOr(problem.ModelFileName, "model"));
    BuildFreeParameters(scratch, limits);
    return scratch.Free.Vertices[0];
}

bool InsideLimits(const FitSession& session, const FitProblem& problem, const double* values) {
    for (int k = 1; k <= session.Free.FreeCount; ++k) {
        const ParameterLimits& row = problem.Bounds.Parameters[session.Free.ModelIndexOfFree(k) - 1];
        if (!(values[k - 1] >= row.Lower && values[k - 1] <= row.Upper)) return false;
    }
    return true;
}

}  // namespace

std::vector<double> FigureOfMerit(const FitProblem& problem, const std::vector<double>& values,
                                  unsigned threads) {
    try {
        FitControl control;
        control.Seed = 0;
        control.Threads = threads;
        FitSession session;
        PrepareSession(session, problem, control, "set");
        const std::size_t dim = session.Free.FreeCount;
        if (values.size() % dim != 0)
            throw RunError("The values are not a whole number of points: " +
                               std::to_string(values.size()) + " values for " +
                               std::to_string(dim) + " free parameters.",
                           "Figure of merit");
        const LimitsTable limits =
            ToLimitsTable(problem.Bounds, session.Model.ParameterCount, false,
                          NameOr(problem.LimitsFileName, "limits"));
        const std::size_t count = values.size() / dim;
        std::vector<double> merits(count, std::numeric_limits<double>::infinity());
        Population members;
        std::vector<std::size_t> where;
        for (std::size_t p = 0; p < count; ++p) {
            const double* point = values.data() + p * dim;
            for (std::size_t k = 0; k < dim; ++k)
                if (!std::isfinite(point[k]))
                    throw RunError("Invalid numeric input",
                                   "Figure of merit, point " + std::to_string(p + 1) +
                                       ", free parameter " + std::to_string(k + 1));
            if (!InsideLimits(session, problem, point)) continue;
            members.push_back(AnglesToUnit(AnglesOfValues(session, problem, limits, point)));
            where.push_back(p);
        }
        PopulationEvaluator evaluator(session, threads);
        std::vector<double> inside;
        evaluator.Evaluate(session, members, inside);
        for (std::size_t i = 0; i < where.size(); ++i) merits[where[i]] = inside[i];
        return merits;
    } catch (...) {
        RethrowWithPlace(NameOr(problem.ModelFileName, "Figure of merit"));
    }
}

Posterior SamplePosterior(const FitProblem& problem, const PosteriorControl& control) {
    try {
        if (control.Walkers < 0)
            throw RunError("The number of walkers must not be negative.",
                           std::to_string(control.Walkers) + " walkers");
        FitControl fitControl;
        fitControl.Seed = control.Seed;
        fitControl.Threads = control.Threads;
        fitControl.OnProgress = control.OnProgress;
        fitControl.Stop = control.Stop;
        FitSession ws;
        PrepareSession(ws, problem, fitControl, "sample");
        // The model's values are the centre, as a fit's result would be.
        ws.Fit.SearchResultAngles = ws.Free.Vertices[0];
        EvaluateFigureOfMerit(ws, ws.Fit.SearchResultAngles);  // sets the fitting window

        SearchOptions options;
        options.McmcSteps = control.Steps;
        options.McmcWalkers = control.Walkers;
        FitStop stop;
        FitCollector collector(fitControl, stop, problem.Model.Units);
        PosteriorSample sample = korvel::SamplePosterior(ws, options, collector, stop);

        Posterior posterior;
        for (const korvel::PosteriorParameter& p : sample.Parameters)
            posterior.Parameters.push_back({p.Name, p.Median, p.Lower68, p.Upper68, p.Lower95,
                                            p.Upper95, p.AutocorrelationTime});
        posterior.Walkers = sample.Chain.Walkers;
        posterior.Steps = sample.Chain.Steps;
        posterior.Burn = sample.Burn;
        posterior.Chain = std::move(sample.Chain.Points);
        posterior.LogLikelihood = std::move(sample.Chain.LogDensity);
        posterior.Acceptance = sample.Acceptance;
        posterior.DegreesOfFreedom =
            ws.Fit.FitWindowLast - ws.Fit.FitWindowFirst + 1 - ws.Free.FreeCount;
        posterior.ChainTooShort = sample.ChainTooShort;
        posterior.Stopped = sample.Stopped;
        posterior.Seed = ws.Fit.Seed;
        posterior.Warnings = ws.Warnings.Texts;
        if (sample.ChainTooShort)
            posterior.Warnings.push_back(
                "The chain is too short for reliable intervals: fewer than 50 "
                "autocorrelation times were kept; run more steps.");
        return posterior;
    } catch (...) {
        RethrowWithPlace(NameOr(problem.ModelFileName, "Posterior"));
    }
}

DensityProfile Profile(const Sample& sample, const std::vector<double>& depth, int points) {
    const LayerModel model = ToLayerModel(sample, "sample");
    const int units = DensityUnitsIndex(sample.Units, "sample");
    std::vector<double> depths = depth;
    if (depths.empty()) {
        if (points < 2)
            throw RunError("A profile needs at least 2 depths.",
                           "Profile: " + std::to_string(points) + " points");
        depths = ProfileDepths(model, points);
    }
    for (std::size_t i = 0; i < depths.size(); ++i)
        if (!std::isfinite(depths[i]))
            throw RunError("Invalid numeric input", "Profile, depth " + std::to_string(i + 1));
    korvel::DensityProfile computed = ComputeDensityProfile(model, depths);
    // The conversion from delta and beta is one factor per column.
    const double re = ToFileUnits(2, 1.0, units, model.Header.Wavelength);
    const double im = ToFileUnits(3, 1.0, units, model.Header.Wavelength);
    for (double& v : computed.ReDensity) v *= re;
    for (double& v : computed.ImDensity) v *= im;
    return {std::move(computed.Depth), std::move(computed.ReDensity),
            std::move(computed.ImDensity)};
}

}  // namespace korvel::api
