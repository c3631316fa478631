// The split of a long simulation run. Every part is timed on its own, the fastest of
// several repetitions (the machine is shared), on the run's own data: the curve
// arrays, stack and engine state a real run left in its workspace.

#include "SimulationSplit.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "app/SilentRunInterface.h"
#include "app/SimulationRun.h"
#include "app/Workspace.h"
#include "base/ResultSetWriter.h"
#include "engine/BatchKernel.h"
#include "engine/Smearing.h"
#include "input/ModelReader.h"
#include "output/SimulationText.h"

namespace korvel::bench {
namespace {

constexpr int kRepetitions = 15;

// Processor time of the calling thread: what a part costs without its waits (for the
// disk, for other threads).
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

struct Timing {
    double Wall = 1e300;      // elapsed, seconds
    double Processor = 1e300; // this thread's processor time, seconds
};

// The fastest of the repetitions, elapsed and in processor time.
template <typename Action>
Timing Fastest(Action&& action) {
    Timing fastest;
    for (int i = 0; i < kRepetitions; ++i) {
        const double processorStart = ThreadSeconds();
        const auto start = std::chrono::steady_clock::now();
        action();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        fastest.Wall = std::min(fastest.Wall, took.count());
        fastest.Processor = std::min(fastest.Processor, ThreadSeconds() - processorStart);
    }
    return fastest;
}

template <typename Action>
double FastestSeconds(Action&& action) {
    return Fastest(action).Wall;
}

void Row(const char* what, double seconds) { std::printf("  %-52s %9.2f\n", what, seconds * 1e3); }

}  // namespace

void PrintSimulationSplit(const char* cliPath) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "korvel-bench-simulation";
    fs::create_directories(folder);
    const fs::path modelPath = folder / "multilayer.mdl";
    // 100 periods of 20 A and 30 A on a substrate, X-rays of 1.54 A with resolution.
    std::ofstream(modelPath, std::ios::binary) << "1.54 0.0004 0.006 0.05 0 0\n0 2 0 100\n"
                                                  "20.0 8e-6 5e-7 3.0\n30.0 3e-6 1e-8 3.0\n"
                                                  "0.0 7.6e-6 1.7e-7 3.0\n";
    SimulationRequest request;
    request.ModelFileName = modelPath.string();
    request.CalculationMode = 'M';
    request.Lower = 0.01;
    request.Upper = 5.0;
    request.Intervals = 59999;
    const std::string smlPath = (folder / "multilayer.sml").string();

    const std::string command = std::string("'") + cliPath + "' simulate '" +
                                request.ModelFileName +
                                "' --mode M --min 0.01 --max 5 --intervals 59999 > /dev/null";
    const double process = FastestSeconds([&] {
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "korvel-cli failed\n");
    });
    const double whole = FastestSeconds([&] {
        Workspace ws;
        SilentRunInterface ui;
        RunSimulation(ws, ui, request);
    });

    // The parts, on what one run left behind.
    Workspace ws;
    SilentRunInterface ui;
    RunSimulation(ws, ui, request);
    const double modelRead = FastestSeconds([&] {
        LayerModel model;
        ReadModelHeader(request.ModelFileName, model);
        ReadModel(request.ModelFileName, 0, model);
    });
    EngineCacheState& engine = ws.Engine.State();
    const std::span<const double> cosSquared(ws.Curves.CosSquared.data(), ws.Curves.PointCount);
    std::vector<double> reflectivity(ws.Curves.PointCount);
    const double kernel = FastestSeconds([&] {
        BatchReflectivity(engine.Context, 'M', cosSquared, reflectivity, engine, ws.Options.Threads);
    });
    const double kernelOneThread = FastestSeconds(
        [&] { BatchReflectivity(engine.Context, 'M', cosSquared, reflectivity, engine, 1); });
    CurveArrays smeared = ws.Curves;
    FitState fit;
    const double smearing = FastestSeconds([&] { SmearCurve(ws.Model.Header, smeared, fit); });
    std::string text;
    const double formatting = FastestSeconds([&] {
        text = SmlText(std::span(ws.Curves.Angle.data(), ws.Curves.PointCount),
                       std::span(ws.Curves.SmearedCurve.data(), ws.Curves.PointCount),
                       request.QzInverseAngstrom, ws.Model.Header.Wavelength,
                       request.ModelFileName);
    });
    const Timing writing = Fastest([&] {
        ResultSetWriter results({smlPath});
        results.Write(smlPath, text);
        results.Commit();
    });
    fs::remove_all(folder);

    std::printf("\nSimulation: 100-period multilayer, %d points, Matrix mode (ms, fastest of %d)\n",
                ws.Curves.PointCount, kRepetitions);
    Row("korvel-cli simulate, the whole process", process);
    Row("the simulation run in this process", whole);
    Row("  model read (header, then the whole file)", modelRead);
    Row("  engine: the curve, threads as in the run", kernel);
    Row("          the curve on one thread", kernelOneThread);
    Row("  smearing", smearing);
    Row("  .sml text", formatting);
    Row("  writing the file (temporary, sync, rename, sync)", writing.Wall);
    Row("    of it waiting for the disk (not processor time)", writing.Wall - writing.Processor);
    Row("  grid, stack, checks, locks and the rest",
        whole - modelRead - kernel - smearing - formatting - writing.Wall);
    std::printf("Batch kernel variant: %s\n", BatchKernelVariant());

    std::printf("\nTargets (ratios of this run)\n");
    const auto check = [](const char* what, double value) {
        std::printf("  %-56s %6.2f  <= 1.00  %s\n", what, value, value <= 1.0 ? "met" : "MISSED");
    };
    check(".sml text + writing, processor time / curve, one thread",
          (formatting + writing.Processor) / kernelOneThread);
    std::printf("  %-56s %6.2f  (the disk's syncs included)\n",
                ".sml text + writing, elapsed / curve, one thread",
                (formatting + writing.Wall) / kernelOneThread);
}

}  // namespace korvel::bench
