// Reads the fitted free parameters from the workspace after a fit: the best vertex
// holds the final values once the run has converted it (and kept, moved or
// restored it after a Newton step); columns 2 and 3 go back to the run's density
// units.

#include "cli/FittedParameters.h"

#include <cstdio>

#include "app/Workspace.h"
#include "input/ModelReader.h"
#include "base/ParameterIndex.h"

namespace korvel::cli {

std::vector<FittedParameter> FittedParameters(const Workspace& ws) {
    std::vector<FittedParameter> result;
    const FreeParameters& free = ws.Free;
    const LayerModel& model = ws.Model;
    const int best = ws.Fit.BestVertex;
    if (!free.VertexHoldsValues || best < 1 || best > static_cast<int>(free.Vertices.size()))
        return result;
    const std::vector<double>& vertex = free.Vertices[best - 1];
    for (int k = 1; k <= free.FreeCount && k <= static_cast<int>(vertex.size()); ++k) {
        const int j = free.ModelIndexOfFree(k);
        if (j == 0) break;
        double value = vertex[k - 1];
        if (IsDensityParameter(j))
            value = ToFileUnits(j, value, ws.Settings.DensityUnits, model.Header.Wavelength);
        char text[32];
        std::snprintf(text, sizeof text, "%.7g", value);
        result.push_back(
            {std::string(ParameterLabel(j)) + ":" + std::to_string(LayerOf(j)), value, text});
    }
    return result;
}

}  // namespace korvel::cli
