#pragma once
// The profile view: the density profile of a model across the depth of the sample
// (engine/DensityProfile), ambient on the left, substrate on the right, depth in
// angstrom from the top surface. The real density column (delta, or the SLD, electron
// density or Qc^2 as the model file gives it) in the upper panel, the imaginary one
// (beta, or its counterpart) in the lower panel, which is left out when both are zero
// throughout. After a fit, the start model is drawn dashed beside the fitted one, and
// after posterior sampling a band of sampled profiles under both.

#include <optional>
#include <string>
#include <vector>

#include "model/LayerModel.h"

namespace korvel {

class PlotCanvas;

struct ProfileViewData {
    LayerModel Model;                 // the model shown: a fit's result or a simulated model
    std::optional<LayerModel> Start;  // a fit's start model (links applied), drawn dashed
    int DensityUnits = 0;             // the units of the model file's density columns
    // Models drawn from a posterior sample, drawn thin and light under the others: the
    // band of profiles the data allow.
    std::vector<LayerModel> Band = {};
};

// What the two density columns are called in a run's density units, and their units.
struct DensityColumnNames {
    std::string ReQuantity;
    std::string ReUnit;  // empty: dimensionless
    std::string ImQuantity;
    std::string ImUnit;
};
DensityColumnNames DensityColumns(int densityUnits);

void DrawProfileView(PlotCanvas& canvas, const ProfileViewData& data);
std::string ProfileViewSvg(const ProfileViewData& data, int width = 720, int height = 480);

}  // namespace korvel
