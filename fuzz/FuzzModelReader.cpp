// Fuzz target: the .mdl reader from text in all four density units, and the two
// partial reads (header only, header and counts). A model that reads must be complete
// and finite.

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "base/RunError.h"
#include "model/LayerModel.h"
#include "input/ModelReader.h"

using namespace korvel;
using namespace korvel::fuzzing;

namespace {

void CheckModel(const LayerModel& m) {
    const LayerCounts& c = m.Counts;
    Require(m.Header.Wavelength > 0.0 && std::isfinite(m.WaveNumber));
    Require(c.RepeatUnitLayerCount != 0 || c.RepeatCount == 0);
    Require(m.LayerCount == c.TopLayerCount + c.RepeatUnitLayerCount + c.BottomLayerCount + 1);
    Require(m.ParameterCount == 4 * m.LayerCount);
    Require(m.ParameterCells.size() == m.ParameterCount);
    Require(m.ParameterSlots.size() == m.ParameterCount);
    for (int j = 1; j <= m.ParameterCount; ++j) Require(std::isfinite(m.Value(j)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(AsText(data, size));
    for (int units = 0; units <= 3; ++units) {
        try {
            ReadWarnings warnings;
            CheckModel(ParseModel(text, "model.mdl", units, warnings));
        } catch (const RunError&) {
        }
    }
    try {
        const ModelPeek peek = ParseModelPeek(text, "model.mdl");
        Require(peek.Header.Wavelength > 0.0 && std::isfinite(peek.WaveNumber));
        LayerModel model;
        ParseModelHeader(text, "model.mdl", model);
    } catch (const RunError&) {
    }
    return 0;
}
