// The fitted-values table from a finished fit, its starting model and its limits.

#include "fit/FittedValues.h"

#include <cmath>

#include "base/ParameterIndex.h"
#include "base/RunError.h"
#include "fit/FitSession.h"
#include "input/LimitsReader.h"
#include "input/ModelReader.h"

namespace korvel {
namespace {

// The cosine mapping reaches a bound only as its angle reaches 0 or -pi, so a value
// the search pressed against a limit stops just short of it.
constexpr double kAtLimitFraction = 1e-3;

}  // namespace

LimitMark MarkOfLimits(double value, double lower, double upper) {
    const double tolerance = kAtLimitFraction * std::fabs(upper - lower);
    if (value <= lower + tolerance) return LimitMark::AtLower;
    if (value >= upper - tolerance) return LimitMark::AtUpper;
    return LimitMark::None;
}

FittedValuesTable MakeFittedValues(const FitSession& finished, const LayerModel& start,
                                   const LimitsTable& limits) {
    const FreeParameters& free = finished.Free;
    const int best = finished.Fit.BestVertex;
    if (!free.VertexHoldsValues || best < 1 || best > static_cast<int>(free.Vertices.size()))
        throw RunError("The fit has no result to show yet.");
    const std::vector<double>& vertex = free.Vertices[best - 1];
    const std::vector<double>& uncertainties = finished.Fit.Uncertainties;
    const int units = finished.Settings.DensityUnits;
    const double wavelength = finished.Model.Header.Wavelength;
    // Density columns back into the file's units; the conversion is a factor per column.
    auto fileUnits = [&](int j, double value) {
        return IsDensityParameter(j) ? ToFileUnits(j, value, units, wavelength) : value;
    };

    FittedValuesTable table;
    table.ReducedChiSquare = finished.Fit.BestMerit;
    for (int k = 1; k <= free.FreeCount && k <= static_cast<int>(vertex.size()); ++k) {
        const int j = free.ModelIndexOfFree(k);
        if (j == 0) break;
        FittedValue value;
        value.Parameter = j;
        value.Name = std::string(ParameterLabel(j)) + ":" + std::to_string(LayerOf(j));
        value.Fitted = fileUnits(j, vertex[k - 1]);
        if (j <= start.ParameterCount) value.Start = fileUnits(j, start.Value(j));
        if (k <= static_cast<int>(uncertainties.size()))
            value.Uncertainty = std::fabs(fileUnits(j, uncertainties[k - 1]));
        if (j <= static_cast<int>(limits.Rows.size())) {
            value.Lower = limits.Rows[j - 1].Lower;
            value.Upper = limits.Rows[j - 1].Upper;
            value.Mark = MarkOfLimits(value.Fitted, value.Lower, value.Upper);
        }
        table.Values.push_back(value);
    }
    return table;
}

}  // namespace korvel
