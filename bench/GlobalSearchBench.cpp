// Recovery, time to solution and posterior coverage of the population searches.

#include "GlobalSearchBench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/FittingRun.h"
#include "app/PosteriorRun.h"
#include "app/SilentRunInterface.h"
#include "app/Workspace.h"
#include "fit/FitProgress.h"
#include "fit/PosteriorSampling.h"

namespace korvel::bench {

namespace {

namespace fs = std::filesystem;

constexpr double kIncidentCounts = 1e7;  // counts of the direct beam: R = 1e-7 is one count

struct Problem {
    std::string Name;
    std::string TrueModel;  // density units 0
    std::string Limits;
    double First = 0.1, Last = 6.0;
    int Points = 400;
    std::vector<std::pair<int, std::pair<double, double>>> Free;  // model index j, limits
};

// An oxide cap over 20 periods of a W/Si-like bilayer on Si; seven free parameters.
Problem CappedMultilayer() {
    Problem p;
    p.Name = "capped W/Si x20 (7 free)";
    p.TrueModel =
        "1.5406 0 0 0 0 0\n1 2 0 20\n"
        "35 1.2e-5 6e-7 4\n12 4.6e-5 4e-6 3\n28 7.6e-6 1.7e-7 4\n0 7.6e-6 1.7e-7 3\n";
    p.Free = {{1, {20, 50}}, {2, {0.6e-5, 2e-5}}, {4, {1, 8}},
              {5, {8, 16}},  {8, {1, 6}},         {9, {22, 34}}, {12, {1, 6}}};
    return p;
}

Problem GoldFilm() {
    Problem p;
    p.Name = "Au film on Si (3 free)";
    p.TrueModel = "1.5406 0 0 0 0 0\n1 0 0 0\n250 4.6e-5 4.9e-6 5\n0 7.6e-6 1.7e-7 3\n";
    p.Free = {{1, {150, 350}}, {2, {2e-5, 7e-5}}, {4, {1, 12}}};
    p.Last = 4.0;
    p.Points = 300;
    return p;
}

Problem NickelTitaniumMultilayer() {
    Problem p;
    p.Name = "Ni/Ti x10 (3 free)";
    p.TrueModel =
        "1.5406 0 0 0 0 0\n0 2 0 10\n40 2.4e-5 4e-7 4\n60 1.3e-5 6e-7 4\n0 7.6e-6 1.7e-7 3\n";
    p.Free = {{1, {25, 55}}, {5, {45, 75}}, {4, {1, 8}}};
    p.Last = 5.0;
    return p;
}

std::string LimitsText(const Problem& p, int parameters) {
    std::string text;
    for (int j = 1; j <= parameters; ++j) {
        auto found = std::find_if(p.Free.begin(), p.Free.end(),
                                  [j](const auto& f) { return f.first == j; });
        std::ostringstream line;
        line.precision(10);
        if (found == p.Free.end())
            line << "0 0 0\n";
        else
            line << found->second.first << " " << found->second.second << " 10\n";
        text += line.str();
    }
    return text;
}

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

std::string Read(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The model text with the values of `values` (by model index) put in.
std::string WithValues(const std::string& model, const std::vector<std::pair<int, double>>& values) {
    std::istringstream in(model);
    std::string header, counts;
    std::getline(in, header);
    std::getline(in, counts);
    std::vector<std::vector<double>> layers;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream numbers(line);
        std::vector<double> layer(4);
        for (double& v : layer) numbers >> v;
        layers.push_back(layer);
    }
    for (const auto& [j, v] : values) layers[(j - 1) / 4][(j - 1) % 4] = v;
    std::ostringstream out;
    out.precision(12);
    out << header << "\n" << counts << "\n";
    for (const auto& layer : layers)
        out << layer[0] << " " << layer[1] << " " << layer[2] << " " << layer[3] << "\n";
    return out.str();
}

void WriteCommand(const fs::path& folder, char mode) {
    std::ostringstream s;
    s << "# bench\ndata.dat\n" << mode << "\nN\nY\nmodel.mdl\nmodel.lmt\n1e-8\n3000\n0\nP\n";
    Write(folder / "fit.inp", s.str());
}

// The observer of the reference fit: answers the uncertainty question and keeps them.
class UncertaintyKeeper : public FitObserver {
  public:
    bool DecideUncertainty() override { return true; }
    void OnUncertainties(const FitSession&, std::span<const double>,
                         std::span<const double> uncertainties) override {
        Uncertainties.assign(uncertainties.begin(), uncertainties.end());
    }
    std::vector<double> Uncertainties;
};

struct FitOutcome {
    std::vector<double> Values;  // free parameters in the model's internal units
    double Merit = 0.0;
    double Seconds = 0.0;
    std::uint64_t Evaluations = 0;
    std::vector<double> Uncertainties;
};

FitOutcome Fit(const fs::path& folder, SearchMethod method, std::uint64_t seed,
               bool uncertainties = false, int mcmcSteps = 0, PosteriorSample* sample = nullptr) {
    Workspace ws;
    ws.Settings.CommandFileName = (folder / "fit.inp").string();
    ws.Options.Seed = seed;
    ws.Options.Threads = 0;
    ws.Options.Search.Method = method;
    ws.Options.Search.McmcSteps = mcmcSteps;
    SilentRunInterface ui;
    UncertaintyKeeper keeper;
    FitObserver quiet;
    FitStop stop;
    const auto start = std::chrono::steady_clock::now();
    RunFitting(ws, ui, uncertainties ? keeper : quiet, stop);
    FitOutcome outcome;
    outcome.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.Values = ws.Free.Vertices[ws.Fit.BestVertex - 1];
    outcome.Merit = ws.Fit.BestMerit;
    outcome.Evaluations = ws.Fit.Evaluations;
    outcome.Uncertainties = keeper.Uncertainties;
    if (mcmcSteps > 0 && sample) *sample = RunPosteriorSampling(ws, quiet, stop);
    return outcome;
}

// Data of the true model with counting noise: a simulation-mode run gives the curve.
void WriteNoisyData(const fs::path& folder, const Problem& p, std::uint64_t noiseSeed) {
    std::string placeholder;
    for (int i = 0; i < p.Points; ++i) {
        std::ostringstream line;
        line.precision(10);
        line << p.First + (p.Last - p.First) * i / (p.Points - 1) << " 1 1\n";
        placeholder += line.str();
    }
    Write(folder / "data.dat", placeholder);
    Write(folder / "model.mdl", p.TrueModel);
    WriteCommand(folder, 'S');
    Fit(folder, SearchMethod::Tunnelling, 1);
    std::istringstream pct(Read(folder / "model.pct"));
    std::mt19937_64 random(noiseSeed);
    std::string data;
    double x, measured, computed;
    while (pct >> x >> measured >> computed) {
        std::poisson_distribution<long long> counts(computed * kIncidentCounts);
        const double n = static_cast<double>(counts(random));
        std::ostringstream line;
        line.precision(10);
        line << x << " " << n / kIncidentCounts << " " << std::sqrt(std::max(n, 1.0)) / kIncidentCounts
             << "\n";
        data += line.str();
    }
    Write(folder / "data.dat", data);
    WriteCommand(folder, 'F');
}

// A start drawn uniformly inside the limits.
std::string RandomStart(const Problem& p, std::uint64_t seed) {
    std::mt19937_64 random(seed * 7919 + 1);
    std::vector<std::pair<int, double>> values;
    for (const auto& [j, limits] : p.Free) {
        std::uniform_real_distribution<double> uniform(limits.first, limits.second);
        values.push_back({j, uniform(random)});
    }
    return WithValues(p.TrueModel, values);
}

struct Tally {
    int Solved = 0;
    double Seconds = 0.0, SolvedSeconds = 0.0;
    double Evaluations = 0.0, SolvedEvaluations = 0.0;
    double WorstSeconds = 0.0;
};

void Recovery(const fs::path& folder, const Problem& p, int seeds) {
    const int parameters = 4 * (static_cast<int>(std::count(p.TrueModel.begin(), p.TrueModel.end(), '\n')) - 2);
    Write(folder / "model.lmt", LimitsText(p, parameters));
    WriteNoisyData(folder, p, 2024);
    // The minimum next to the truth: a fit started at the true model, with its uncertainties.
    Write(folder / "model.mdl", p.TrueModel);
    const FitOutcome reference = Fit(folder, SearchMethod::Tunnelling, 99, true);
    std::printf("\n%s: %d points, minimum next to the truth Xi^2 = %.4f\n", p.Name.c_str(),
                p.Points, reference.Merit);
    auto solved = [&](const FitOutcome& o) {
        if (!(o.Merit <= 1.05 * reference.Merit)) return false;
        for (std::size_t k = 0; k < o.Values.size(); ++k)
            if (k < reference.Uncertainties.size() &&
                std::fabs(o.Values[k] - reference.Values[k]) > reference.Uncertainties[k])
                return false;
        return true;
    };
    for (const SearchMethod method : {SearchMethod::SelfAdaptiveDe, SearchMethod::Tunnelling}) {
        Tally tally;
        for (int seed = 1; seed <= seeds; ++seed) {
            Write(folder / "model.mdl", RandomStart(p, seed));
            const FitOutcome o = Fit(folder, method, seed);
            tally.Seconds += o.Seconds;
            tally.Evaluations += static_cast<double>(o.Evaluations);
            tally.WorstSeconds = std::max(tally.WorstSeconds, o.Seconds);
            if (solved(o)) {
                ++tally.Solved;
                tally.SolvedSeconds += o.Seconds;
                tally.SolvedEvaluations += static_cast<double>(o.Evaluations);
            }
        }
        std::printf("  %-12s solved %2d of %d  mean %.2f s (worst %.2f s), %.0f evaluations;"
                    " solved runs %.2f s, %.0f evaluations\n",
                    std::string(SearchMethodName(method)).c_str(), tally.Solved, seeds,
                    tally.Seconds / seeds, tally.WorstSeconds, tally.Evaluations / seeds,
                    tally.Solved ? tally.SolvedSeconds / tally.Solved : 0.0,
                    tally.Solved ? tally.SolvedEvaluations / tally.Solved : 0.0);
    }
}

void Coverage(const fs::path& folder, int sets) {
    const Problem p = GoldFilm();
    Write(folder / "model.lmt", LimitsText(p, 8));
    const double truth[3] = {250.0, 4.6e-5, 5.0};
    int covered[3] = {0, 0, 0};
    int tooShort = 0;
    double seconds = 0.0;
    for (int set = 1; set <= sets; ++set) {
        WriteNoisyData(folder, p, 5000 + set);
        Write(folder / "model.mdl", p.TrueModel);
        PosteriorSample sample;
        const auto start = std::chrono::steady_clock::now();
        Fit(folder, SearchMethod::SelfAdaptiveDe, set, false, 1500, &sample);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (sample.ChainTooShort) ++tooShort;
        for (int k = 0; k < 3; ++k)
            if (sample.Parameters[k].Lower68 <= truth[k] && truth[k] <= sample.Parameters[k].Upper68)
                ++covered[k];
    }
    std::printf("\nPosterior coverage, %s, %d data sets with counting noise (1500 steps):\n",
                p.Name.c_str(), sets);
    const char* names[3] = {"Thickness:1", "ReDensity:1", "Roughness:1"};
    for (int k = 0; k < 3; ++k)
        std::printf("  %-12s 68%% interval holds the truth in %2d of %d  (target 10 to 17)  %s\n",
                    names[k], covered[k], sets,
                    covered[k] >= 10 && covered[k] <= 17 ? "met" : "MISSED");
    std::printf("  chains flagged too short: %d; mean %.2f s per fit and sample\n", tooShort,
                seconds / sets);
}

}  // namespace

void PrintGlobalSearchBench() {
    const fs::path folder = fs::temp_directory_path() / "korvel-bench-search";
    fs::create_directories(folder);
    std::printf("\nGlobal search: recovery from starts inside the limits, 20 seeds each\n");
    std::printf("(solved: Xi^2 within 5 %% of the minimum next to the truth and every free\n"
                " parameter within its estimated uncertainty of that minimum; target >= 19 of 20\n"
                " for de, time to solution on the capped multilayer < 10 s)\n");
    Recovery(folder, CappedMultilayer(), 20);
    Recovery(folder, GoldFilm(), 20);
    Recovery(folder, NickelTitaniumMultilayer(), 20);
    Coverage(folder, 20);
    fs::remove_all(folder);
}

}  // namespace korvel::bench
