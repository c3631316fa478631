// Fuzz target: the model and limits readers and the starting simplex of a fit, from
// text. The input is a model, a line "%%" and a limits file; the simplex is built with
// the repeat-unit length free and fixed, and every vertex of it is then mapped back
// into the model, as the first evaluation of a fit does.

#include <cstddef>
#include <cstdint>
#include <numbers>

#include "FuzzSupport.h"
#include "base/RunError.h"
#include "fit/FigureOfMerit.h"
#include "fit/FitSession.h"
#include "fit/StartingSimplex.h"
#include "input/LimitsReader.h"
#include "input/ModelReader.h"

using namespace korvel;
using namespace korvel::fuzzing;

namespace {

void CheckSimplex(FitSession& ws) {
    const FreeParameters& f = ws.Free;
    Require(f.FreeCount <= 99 && f.VertexCount == f.FreeCount + 1);
    Require(f.Vertices.size() == f.VertexCount);
    for (const auto& vertex : f.Vertices) {
        Require(vertex.size() == f.FreeCount);
        for (double u : vertex) Require(u >= -std::numbers::pi && u <= 0.0);
    }
    for (int k = 0; k < f.FreeCount; ++k)
        Require(std::isfinite(f.FreeMid[k]) && std::isfinite(f.FreeHalfRange[k]));
    for (const auto& vertex : f.Vertices) {
        MapVertexToModel(ws, vertex);
        for (int j = 1; j <= ws.Model.ParameterCount; ++j)
            Require(std::isfinite(ws.Model.Value(j)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto [model, limits] = SplitAt(AsText(data, size), "\n%%\n");
    for (const bool fixed : {false, true}) {
        FitSession ws;
        ws.Options.Seed = 1;
        ws.Settings.FitMode = true;
        ws.Settings.RepeatUnitFixed = fixed;
        try {
            ws.Model = ParseModel(std::string(model), "model.mdl", 0, ws.Warnings);
            BuildFreeParameters(
                ws, ParseLimits(std::string(limits), "limits.lmt", ws.Model.ParameterCount));
            CheckSimplex(ws);
        } catch (const RunError&) {
        }
    }
    return 0;
}
