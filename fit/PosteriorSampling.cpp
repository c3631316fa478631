// The sampler on the fit's figure of merit, and the summary of its chain.

#include "fit/PosteriorSampling.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "base/ParameterIndex.h"
#include "base/RunError.h"
#include "fit/FigureOfMerit.h"
#include "fit/FitProgress.h"
#include "fit/FitSession.h"
#include "fit/PopulationEvaluator.h"
#include "input/ModelReader.h"

namespace korvel {

namespace {

// Walkers start in a small ball around the fit (this fraction of each limit range) and
// spread to the posterior's width within the first steps.
constexpr double kStartingBall = 1e-4;

int WalkerCount(int requested, int dimension) {
    int walkers = requested > 0 ? requested : std::max(16, 4 * dimension);
    walkers = std::max(walkers, 2 * dimension + 2);
    return walkers + walkers % 2;
}

}  // namespace

PosteriorSample SamplePosterior(FitSession& ws, const SearchOptions& options,
                                FitObserver& observer, FitStop& stop) {
    const int dim = ws.Free.FreeCount;
    if (dim < 1) throw RunError("There is no free parameter to sample.");
    if (static_cast<int>(ws.Fit.SearchResultAngles.size()) != dim)
        throw RunError("The posterior can only be sampled after a fit.");
    if (options.McmcSteps < 1) throw RunError("The sampler needs at least one step.");
    const int freedom = ws.Fit.FitWindowLast - ws.Fit.FitWindowFirst + 1 - dim;

    PopulationEvaluator evaluator(ws, ws.Options.Threads);
    std::vector<double> merits;
    const BatchLogDensity logDensity = [&](const Population& points, std::vector<double>& out) {
        // Points outside the limits have prior 0 and are never evaluated.
        Population inside;
        std::vector<int> where(points.size(), -1);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const bool within = std::all_of(points[i].begin(), points[i].end(),
                                            [](double x) { return x >= 0.0 && x <= 1.0; });
            if (within) {
                where[i] = static_cast<int>(inside.size());
                inside.push_back(points[i]);
            }
        }
        evaluator.Evaluate(ws, inside, merits);
        out.assign(points.size(), -std::numeric_limits<double>::infinity());
        for (std::size_t i = 0; i < points.size(); ++i)
            if (where[i] >= 0) out[i] = -0.5 * merits[where[i]] * freedom;
    };

    const std::vector<double> centre = AnglesToUnit(ws.Fit.SearchResultAngles);
    const int walkers = WalkerCount(options.McmcWalkers, dim);
    std::mt19937_64 random(ws.Random());
    std::normal_distribution<double> normal;
    Population start(walkers, centre);
    for (auto& walker : start)
        for (double& x : walker) x = std::clamp(x + kStartingBall * normal(random), 0.0, 1.0);

    SamplerSettings settings;
    settings.Steps = options.McmcSteps;
    settings.Seed = random();
    PosteriorSample sample;
    sample.StepsAsked = options.McmcSteps;
    observer.OnProgress(MakeProgress(ws, FitPhase::Sampling, ProgressKind::Started));
    const auto onStep = [&](int step, double acceptance) {
        FitProgress progress = MakeProgress(ws, FitPhase::Sampling, ProgressKind::Generation);
        progress.Generation = step;
        progress.Total = options.McmcSteps;
        progress.Acceptance = acceptance;
        observer.OnProgress(progress);
        const bool end = stop.EndSearch.exchange(false);
        sample.Stopped = sample.Stopped || end;
        return end;
    };
    SamplerChain chain = RunEnsembleSampler(start, settings, logDensity, onStep);
    observer.OnProgress(MakeProgress(ws, FitPhase::Sampling, ProgressKind::Ended));

    // Unit-cube points to values in file units, through the same mapping as a fit.
    FitSession scratch = ws;
    scratch.Free.VertexHoldsValues = false;
    std::vector<double> values;
    for (std::size_t p = 0; p < chain.Points.size(); p += dim) {
        const std::vector<double> unit(chain.Points.begin() + p, chain.Points.begin() + p + dim);
        values = UnitToAngles(unit);
        ConvertVertexToValues(scratch, values);
        for (int k = 0; k < dim; ++k) {
            const int j = ws.Free.ModelIndexOfFree(k + 1);
            double value = values[k];
            if (IsDensityParameter(j))
                value = ToFileUnits(j, value, ws.Settings.DensityUnits, ws.Model.Header.Wavelength);
            chain.Points[p + k] = value;
        }
    }

    sample.Acceptance = chain.AcceptanceFraction();
    sample.Burn = chain.Steps / 4;
    const int kept = chain.Steps - sample.Burn;
    for (int k = 0; k < dim; ++k) {
        PosteriorParameter parameter;
        parameter.ModelIndex = ws.Free.ModelIndexOfFree(k + 1);
        parameter.Name = std::string(ParameterLabel(parameter.ModelIndex)) + ":" +
                         std::to_string(LayerOf(parameter.ModelIndex));
        parameter.Median = ChainQuantile(chain, k, sample.Burn, 0.5);
        parameter.Lower68 = ChainQuantile(chain, k, sample.Burn, 0.15865525393145707);
        parameter.Upper68 = ChainQuantile(chain, k, sample.Burn, 0.8413447460685429);
        parameter.Lower95 = ChainQuantile(chain, k, sample.Burn, 0.025);
        parameter.Upper95 = ChainQuantile(chain, k, sample.Burn, 0.975);
        parameter.AutocorrelationTime = IntegratedAutocorrelationTime(chain, k, sample.Burn);
        if (!(kept >= kStepsPerAutocorrelationTime * parameter.AutocorrelationTime))
            sample.ChainTooShort = true;
        sample.Parameters.push_back(parameter);
    }
    sample.Chain = std::move(chain);
    return sample;
}

}  // namespace korvel
