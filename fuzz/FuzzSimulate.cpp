// Fuzz target: a whole simulation run on a fuzzed model, in the three calculation
// modes, on an angle grid and on a Qz grid. A run either writes a complete .sml of
// finite numbers, one 31-character line per grid point, or fails with RunError and
// leaves no .sml behind.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "FuzzSupport.h"
#include "base/RunError.h"
#include "app/SimulationRun.h"
#include "app/Workspace.h"
#include "base/NumberStream.h"
#include "base/TextFile.h"

using namespace korvel;
using namespace korvel::fuzzing;

namespace {

constexpr int kIntervals = 30;

void CheckSml(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    Require(text.size() == (kIntervals + 1) * 33u);
    for (std::size_t line = 0; line < kIntervals + 1u; ++line) {
        const std::string_view row(text.data() + line * 33, 33);
        Require(row.substr(31) == "\r\n" && row[15] == ' ');
        Require(ParseRealTrimmed(row.substr(0, 15)).has_value());
        Require(ParseRealTrimmed(row.substr(16, 15)).has_value());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string model = WriteScratch("model.mdl", AsText(data, size));
    const std::string sml = ScratchPath("model.sml");
    for (const char mode : {'M', 'P', 'F'}) {
        for (const bool qz : {false, true}) {
            std::filesystem::remove(sml);
            Workspace ws;
            SilentInterface ui;
            SimulationRequest request;
            request.ModelFileName = model;
            request.CalculationMode = mode;
            request.QzInverseAngstrom = qz;
            request.Lower = 0.0;
            request.Upper = qz ? 0.4 : 3.0;
            request.Intervals = kIntervals;
            request.DensityUnits = static_cast<int>(size % 4);
            try {
                RunSimulation(ws, ui, request);
                CheckSml(sml);
            } catch (const RunError&) {
                Require(!std::filesystem::exists(sml));
            }
        }
    }
    return 0;
}
