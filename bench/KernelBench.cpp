// Speed of the reflectivity engine: the per-point reference path, the batch kernel
// on one thread and on all threads, and the plain std::complex yardstick, for five
// models (ms per curve of 1000 points and ns per interface-point, an interface
// counted once per period); then curve evaluations per second of a whole fit on the
// bundled multilayer example, reference path against batch kernel. Ends with a table
// of the ratios and the targets they are held to, and the split of a long simulation
// run (engine against .sml text and writing) with the kernel variant this machine runs.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchFitSupport.h"
#include "GlobalSearchBench.h"
#include "SimulationSplit.h"
#include "SmearedFitBench.h"
#include "Yardstick.h"
#include "app/SilentRunInterface.h"
#include "app/Workspace.h"
#include "engine/BatchKernel.h"
#include "engine/FourierMethod.h"
#include "engine/MatrixMethod.h"
#include "engine/OpticalStack.h"
#include "engine/Parratt.h"
#include "app/FittingRun.h"
#include "base/ParameterIndex.h"

namespace {

using namespace korvel;
using korvel::bench::StopAfterIterations;
using korvel::bench::WriteFile;
using bench::YardstickMedium;

constexpr double kPi = 3.141592653589793;
constexpr double kWavelength = 1.54;

struct Layer {
    double Thickness, Delta, Beta, Roughness;
};

struct Sample {
    std::string Name;
    std::vector<Layer> Top, Unit;
    int RepeatCount = 0;
    Layer Substrate{0.0, 7.6e-6, 1.7e-7, 3.0};
    int Interfaces() const { return static_cast<int>(Top.size() + Unit.size() * RepeatCount) + 1; }
};

std::vector<Sample> Models() {
    std::vector<Sample> models(5);
    models[0].Name = "M1";
    models[0].Top = {{100.0, 4e-6, 1e-7, 3.0}};
    models[1].Name = "M2";
    for (int i = 0; i < 20; ++i)
        models[1].Top.push_back({10.0 + 2.0 * i, (i % 2 == 0 ? 8e-6 : 3e-6) + 5e-8 * i, 1e-7, 3.0});
    for (int m = 2; m < 4; ++m) {
        models[m].Name = m == 2 ? "M3" : "M4";
        models[m].Unit = {{20.0, 8e-6, 5e-7, 3.0}, {30.0, 3e-6, 1e-8, 3.0}};
        models[m].RepeatCount = m == 2 ? 100 : 255;
    }
    // Periods of absorbing layers of 1e7 A: phase angles beyond the sine's exact range.
    models[4].Name = "M5";
    models[4].Unit = {{1e7, 8e-6, 5e-7, 3.0}, {1e7, 3e-6, 1e-7, 3.0}};
    models[4].RepeatCount = 255;
    return models;
}

void FillModel(LayerModel& model, const Sample& sample) {
    model.Header.Wavelength = kWavelength;
    model.WaveNumber = 2.0 * kPi / kWavelength;
    model.Counts.TopLayerCount = static_cast<std::uint8_t>(sample.Top.size());
    model.Counts.RepeatUnitLayerCount = static_cast<std::uint8_t>(sample.Unit.size());
    model.Counts.BottomLayerCount = 0;
    model.Counts.RepeatCount = static_cast<std::uint8_t>(sample.RepeatCount);
    std::vector<Layer> layers = sample.Top;
    layers.insert(layers.end(), sample.Unit.begin(), sample.Unit.end());
    layers.push_back(sample.Substrate);
    model.LayerCount = static_cast<std::uint16_t>(layers.size());
    model.ParameterCount = static_cast<std::uint16_t>(4 * layers.size());
    model.Allocate();
    for (int l = 1; l <= static_cast<int>(layers.size()); ++l) {
        model.SetValue(ParameterIndex(l, Column::Thickness), layers[l - 1].Thickness);
        model.SetValue(ParameterIndex(l, Column::ReDensity), layers[l - 1].Delta);
        model.SetValue(ParameterIndex(l, Column::ImDensity), layers[l - 1].Beta);
        model.SetValue(ParameterIndex(l, Column::Roughness), layers[l - 1].Roughness);
    }
}

std::vector<YardstickMedium> YardstickMedia(const Sample& sample) {
    auto medium = [](const Layer& l) {
        return YardstickMedium{{1.0 - l.Delta, -l.Beta}, l.Thickness, l.Roughness};
    };
    std::vector<YardstickMedium> media{YardstickMedium{{1.0, 0.0}, 0.0, 0.0}};
    for (const Layer& l : sample.Top) media.push_back(medium(l));
    for (int p = 0; p < sample.RepeatCount; ++p)
        for (const Layer& l : sample.Unit) media.push_back(medium(l));
    media.push_back(medium(sample.Substrate));
    media.back().Thickness = 0.0;
    return media;
}

std::vector<double> CurveCosSquared() {
    std::vector<double> c2;
    for (int i = 0; i < 1000; ++i) {
        const double theta = 0.01 + (5.0 - 0.01) * i / 999.0;
        const double s = std::sin((90.0 - theta) * kPi / 180.0);
        c2.push_back(s * s);
    }
    return c2;
}

// One model in one mode, ready to be evaluated by either path.
struct Case {
    EvaluationContext Context;
    char Mode;
    std::vector<double> CosSquared = CurveCosSquared();
    std::vector<double> Reflectivity = std::vector<double>(1000);
    EngineCacheState State;
};

void ReferenceCurve(Case& c) {
    for (std::size_t k = 0; k < c.CosSquared.size(); ++k)
        c.Reflectivity[k] = ReferencePointReflectivity(c.Context, c.Mode, c.CosSquared[k]);
}

std::map<std::string, double> g_seconds;  // per curve (or per evaluation), by benchmark name

// "M2/P/batch-1/real_time" -> "M2/P/batch-1".
std::string BaseName(const std::string& name) {
    const std::string suffix = "/real_time";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        return name.substr(0, name.size() - suffix.size());
    return name;
}

class TableReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                // The least disturbed of the repetitions: the machine is shared.
                const double seconds =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
                auto [entry, added] = g_seconds.emplace(BaseName(run.benchmark_name()), seconds);
                if (!added && seconds < entry->second) entry->second = seconds;
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

// ---- Whole fit on the bundled multilayer example -----------------------------------

// The fit's files in `folder`: the example's model as the truth, data simulated from
// it with 3 % errors, a start model off by a few percent, limits freeing thicknesses,
// densities and roughnesses.
std::filesystem::path PrepareFit(const std::filesystem::path& folder) {
    const std::filesystem::path example =
        std::filesystem::path(KORVEL_SOURCE_DIR) / "examples/multilayer/w-si-40.mdl";
    std::filesystem::copy_file(example, folder / "true.mdl",
                               std::filesystem::copy_options::overwrite_existing);
    WriteFile(folder / "start.mdl",
              "1.5406 0.0004 0.006 0.05 0 0\n0 2 0 40\n"
              "12.3  4.4e-5  4.059e-6  3.0\n27.6  7.7e-6  1.731e-7  4.5\n"
              "0.0   7.578e-6  1.731e-7  3.5\n");
    WriteFile(folder / "fit.lmt",
              "11 13 10\n4e-5 5e-5 10\n4.059e-6 4.059e-6 0\n2 5 20\n"
              "27 29 10\n7e-6 8.5e-6 10\n1.731e-7 1.731e-7 0\n3 6 20\n"
              "0 0 0\n7.578e-6 7.578e-6 0\n1.731e-7 1.731e-7 0\n2 5 20\n");
    // Data: the true model simulated on 0.1 .. 5 degrees.
    std::string data;
    {
        const LayerModel model = korvel::bench::MultilayerTruth(1.5406);
        EvaluationContext context;
        BuildStack(model, context);
        for (int i = 0; i <= 800; ++i) {
            const double theta = 0.1 + 4.9 * i / 800.0;
            const double s = std::sin((90.0 - theta) * kPi / 180.0);
            const double r = ParrattReflectivity(context, s * s);
            char line[96];
            std::snprintf(line, sizeof line, "%.4f %.6e %.6e\n", theta, r, 0.03 * r);
            data += line;
        }
    }
    WriteFile(folder / "fit.dat", data);
    WriteFile(folder / "fit.inp",
              "fit.dat\nF\nN\nY\nstart.mdl\nfit.lmt\n1.0e-6\n3000\n0\nM\nN\nN\n");
    return folder / "fit.inp";
}

// Evaluations per second of a fit stopped after `iterations` simplex iterations.
double FitEvaluationsPerSecond(const std::filesystem::path& commandFile, bool reference,
                               int iterations) {
    Workspace ws;
    ws.Settings.CommandFileName = commandFile.string();
    ws.Options.Seed = 12345;
    ws.Options.ReferenceEngine = reference;
    StopAfterIterations ui(iterations);
    const auto start = std::chrono::steady_clock::now();
    RunFitting(ws, ui);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ws.Fit.EvaluationCount / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    // "--search": only the global-search part, without the kernel timings.
    if (argc == 2 && std::string(argv[1]) == "--search") {
        bench::PrintGlobalSearchBench();
        return 0;
    }
    // Without arguments: seven short repetitions of each benchmark in random order,
    // the fastest of each kept. A repetition that shares the machine with another
    // program is slower, never faster, and interleaving spreads each benchmark's
    // repetitions over the whole run, so a few seconds of disturbance cannot spoil all
    // of them (nor one side of a ratio alone).
    std::vector<char*> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=7";
    std::string minTime = "--benchmark_min_time=0.1";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    if (argc == 1)
        arguments.insert(arguments.end(), {repetitions.data(), minTime.data(), interleave.data()});
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    const std::vector<Sample> models = Models();
    std::vector<std::unique_ptr<Case>> cases;
    const char modes[] = {'P', 'M', 'F'};

    for (const Sample& sample : models) {
        LayerModel model;
        FillModel(model, sample);
        for (char mode : modes) {
            auto c = std::make_unique<Case>();
            BuildStack(model, c->Context);
            c->Mode = mode;
            if (mode == 'F') FourierSetup(c->Context);
            Case* raw = c.get();
            const std::string tag = sample.Name + "/" + mode;
            benchmark::RegisterBenchmark((tag + "/reference").c_str(),
                                         [raw](benchmark::State& st) {
                                             for (auto _ : st) ReferenceCurve(*raw);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            for (unsigned threads : {1u, 0u}) {
                const std::string name = tag + (threads == 1 ? "/batch-1" : "/batch-all");
                benchmark::RegisterBenchmark(name.c_str(),
                                             [raw, threads](benchmark::State& st) {
                                                 for (auto _ : st)
                                                     BatchReflectivity(
                                                         raw->Context, raw->Mode, raw->CosSquared,
                                                         raw->Reflectivity, raw->State, threads);
                                             })
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
            cases.push_back(std::move(c));
        }
        auto media = std::make_shared<std::vector<YardstickMedium>>(YardstickMedia(sample));
        auto c2 = std::make_shared<std::vector<double>>(CurveCosSquared());
        auto out = std::make_shared<std::vector<double>>();
        benchmark::RegisterBenchmark((sample.Name + "/yardstick").c_str(),
                                     [media, c2, out](benchmark::State& st) {
                                         for (auto _ : st)
                                             bench::YardstickCurve(*media, kWavelength, *c2, *out);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Whole fit.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "korvel-bench-fit";
    std::filesystem::create_directories(folder);
    const std::filesystem::path commandFile = PrepareFit(folder);
    const double referenceRate = FitEvaluationsPerSecond(commandFile, true, 150);
    const double batchRate = FitEvaluationsPerSecond(commandFile, false, 600);
    std::filesystem::remove_all(folder);

    // The table.
    auto seconds = [](const std::string& name) {
        auto it = g_seconds.find(name);
        return it == g_seconds.end() ? std::nan("") : it->second;
    };
    std::printf("\nms per curve of 1000 points (ns per interface-point)\n");
    std::printf("%-6s %-4s %5s  %-18s %-18s %-18s %-18s %9s %8s\n", "model", "mode", "ifc",
                "reference", "batch 1 thread", "batch all", "yardstick", "yard/b1", "b1/ball");
    for (const Sample& sample : models) {
        const double yard = seconds(sample.Name + "/yardstick");
        const double ip = sample.Interfaces() * 1000.0;
        for (char mode : modes) {
            const std::string tag = sample.Name + "/" + mode;
            const double ref = seconds(tag + "/reference");
            const double b1 = seconds(tag + "/batch-1");
            const double ball = seconds(tag + "/batch-all");
            auto cell = [ip](double s) {
                char text[32];
                std::snprintf(text, sizeof text, "%8.3f (%6.2f)", s * 1e3, s * 1e9 / ip);
                return std::string(text);
            };
            std::printf("%-6s %-4c %5d  %-18s %-18s %-18s %-18s %9.1f %8.2f\n", sample.Name.c_str(),
                        mode, sample.Interfaces(), cell(ref).c_str(), cell(b1).c_str(),
                        cell(ball).c_str(), cell(yard).c_str(), yard / b1, b1 / ball);
        }
    }

    std::printf("\nTargets (ratios of this run)\n");
    auto check = [](const char* what, double value, double target, bool atLeast) {
        const bool met = atLeast ? value >= target : value <= target;
        std::printf("  %-48s %8.2f  %s %5.2f  %s\n", what, value, atLeast ? ">=" : "<=", target,
                    met ? "met" : "MISSED");
    };
    auto ratio = [&](const std::string& a, const std::string& b) {
        return seconds(a) / seconds(b);
    };
    check("M2 Parratt: yardstick / batch 1 thread", ratio("M2/yardstick", "M2/P/batch-1"), 5, true);
    check("M2 Matrix: yardstick / batch 1 thread", ratio("M2/yardstick", "M2/M/batch-1"), 5, true);
    check("M3 Matrix: yardstick / batch 1 thread", ratio("M3/yardstick", "M3/M/batch-1"), 30, true);
    check("M3 Fourier: yardstick / batch 1 thread", ratio("M3/yardstick", "M3/F/batch-1"), 30,
          true);
    check("M4 / M3 Matrix, batch 1 thread", ratio("M4/M/batch-1", "M3/M/batch-1"), 1.1, false);
    check("M4 / M3 Fourier, batch 1 thread", ratio("M4/F/batch-1", "M3/F/batch-1"), 1.1, false);
    check("M3 Parratt: yardstick / batch 1 thread", ratio("M3/yardstick", "M3/P/batch-1"), 10,
          true);
    check("M4 Parratt: yardstick / batch 1 thread", ratio("M4/yardstick", "M4/P/batch-1"), 10,
          true);
    for (const char* model : {"M2", "M3"})
        for (char mode : modes) {
            const std::string tag = std::string(model) + "/" + mode;
            const std::string what = tag + ": batch 1 thread / batch all threads";
            check(what.c_str(), ratio(tag + "/batch-1", tag + "/batch-all"), 1.7, true);
        }
    std::printf("\nWhole fit on examples/multilayer/w-si-40.mdl (Matrix mode, 801 points):\n");
    std::printf("  reference path %10.1f evaluations/s\n  batch kernel   %10.1f evaluations/s\n",
                referenceRate, batchRate);
    check("whole fit: batch / reference evaluations per second", batchRate / referenceRate, 3,
          true);

    bench::PrintSimulationSplit(KORVEL_CLI_PATH);
    bench::PrintGlobalSearchBench();
    bench::ReportSmearedFitCost();
    return 0;
}
