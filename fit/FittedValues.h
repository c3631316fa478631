#pragma once
// The table of a fit's free parameters as a user reads them: name, the value the fit
// started from, the fitted value, its uncertainty when estimated, the limits it was
// held to and a mark when it sits at one of them; with the reduced chi-square and the
// paths of the result files. Values and limits in the units of the model and limits
// files (density columns in the run's density units), lengths in angstrom.

#include <optional>
#include <string>
#include <vector>

namespace korvel {

struct FitSession;
struct LayerModel;
struct LimitsTable;

enum class LimitMark {
    None,
    AtLower,  // within a thousandth of the range above the lower limit, or below it
    AtUpper,  // within a thousandth of the range below the upper limit, or above it
};

struct FittedValue {
    int Parameter = 0;  // model index j
    std::string Name;   // "Thickness:3": label and layer, as korvel-cli prints them
    double Start = 0.0;
    double Fitted = 0.0;
    std::optional<double> Uncertainty;
    double Lower = 0.0;
    double Upper = 0.0;
    LimitMark Mark = LimitMark::None;
};

struct FittedValuesTable {
    std::vector<FittedValue> Values;  // the free parameters in increasing model order
    double ReducedChiSquare = 0.0;    // the figure of merit of the final model
    std::vector<std::string> ResultFiles;
};

// The table of a finished fit: `finished` holds the best vertex as values (and in
// Fit.Uncertainties the estimate, if one was made), `start` the model as read before
// the fit (density columns converted, no links applied), `limits` the limits file as
// read. The result files are the caller's to add. Throws RunError when the fit has not
// turned its best vertex into values.
FittedValuesTable MakeFittedValues(const FitSession& finished, const LayerModel& start,
                                   const LimitsTable& limits);

// The mark of a value between the limits lower .. upper.
LimitMark MarkOfLimits(double value, double lower, double upper);

}  // namespace korvel
