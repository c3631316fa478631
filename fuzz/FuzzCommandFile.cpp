// Fuzz target: the .inp command file and everything a fit reads after it: the
// settings dialog round trip, the data file, the model and limits, and one
// evaluation of the first vertex. The folder holds a sound model, data and limits
// file under the names the seeds use; names that leave the folder are not followed.

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "app/CommandFile.h"
#include "app/FitInputs.h"
#include "base/RunError.h"
#include "app/Workspace.h"
#include "fit/CurveEvaluation.h"

using namespace korvel;
using namespace korvel::fuzzing;

namespace {

constexpr const char* kModel =
    "1.54 0.001 0.002 0.003 0.0 0.0\n"
    "1 2 0 3\n"
    "100 4e-6 1e-7 3\n"
    "20 8e-6 2e-7 3\n"
    "30 3e-6 1e-7 3\n"
    "0 7.6e-6 1.7e-7 3\n";
constexpr const char* kLimits =
    "50 150 10\n0 1e-5 0\n0 1e-6 0\n0 10 10\n"
    "10 30 10\n0 1e-5 0\n0 1e-6 0\n0 10 -1\n"
    "20 40 10\n0 1e-5 0\n0 1e-6 0\n0 10 0\n"
    "0 0 0\n0 1e-5 5\n0 1e-6 0\n0 10 10\n";
constexpr const char* kData =
    "0.1 0.9 0.05\n0.2 0.7 0.05\n0.3 0.03 0.002\n0.4 0.01 0.001\n0.5 0.004 0.0004\n"
    "0.6 0.002 0.0002\n0.7 0.001 0.0001\n0.8 0.0005 0.00005\n0.9 0.0003 0.00003\n";

// Only plain names inside the scratch folder: the fuzzer must not wander into /dev or /proc.
bool StaysInFolder(std::string_view text) {
    return text.find('/') == std::string_view::npos && text.find('\\') == std::string_view::npos &&
           text.find("..") == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = AsText(data, size);
    if (!StaysInFolder(text)) return 0;
    static const bool written = [] {
        WriteScratch("model.mdl", kModel);
        WriteScratch("limits.lmt", kLimits);
        WriteScratch("data.dat", kData);
        return true;
    }();
    (void)written;
    WriteScratch("run.inp", text);

    Workspace ws;
    SilentInterface ui;
    ws.Options.Seed = 1;
    ws.Settings.CommandFileName = ScratchPath("run.inp");
    try {
        ReadCommandFile(ws);
        SettingsToDialog(ws.Settings, ws.CommandFileDialog);
        DialogToSettings(ws.CommandFileDialog, ws.Settings);
        Require(ws.Settings.CalculationMode == 'F' || ws.Settings.CalculationMode == 'P' ||
                ws.Settings.CalculationMode == 'M');
        ReadDataFile(ws, ui);
        ReadModelAndLimits(ws);
        const double merit = EvaluateCurve(ws, ws.Free.Vertices[0]);
        Require(std::isfinite(merit));
    } catch (const RunError&) {
    }
    return 0;
}
