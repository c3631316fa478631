// Reading the .inp command file into the workspace, and the transfers between the run
// settings and the "Command File Parameters" dialog record.

#include "app/CommandFile.h"

#include <string_view>

#include "app/Workspace.h"
#include "base/NumberFormat.h"
#include "base/NumberStream.h"
#include "base/TextFile.h"
#include "input/CommandFileReader.h"

namespace korvel {
namespace {

constexpr double kDialogToleranceFallback = 1e-5;
constexpr long long kDialogMaxIterationsFallback = 65000;

// An edit field's text without the blanks and tabs typed around it.
std::string_view WithoutBlanksAround(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    text = text.substr(first);
    return text.substr(0, text.find_last_not_of(" \t") + 1);
}

}  // namespace

void ReadCommandFile(Workspace& ws) {
    const std::string& path = ws.Settings.CommandFileName;
    // Read into a record first, so a failure leaves the workspace as it was.
    const CommandFileContents read =
        ParseCommandFile(ReadWholeFile(path), path, ws.Settings,
                         [&ws](const std::string& modelPath) { return ws.Inputs.Read(modelPath); });
    ws.Settings = read.Settings;
    ws.Model.Header = read.Model.Header;
    ws.Model.WaveNumber = read.Model.WaveNumber;
    ws.Model.Counts = read.Model.Counts;
    ws.CommandFileDialog.RULengthEnabled = read.Model.Counts.RepeatUnitLayerCount != 0;
}

void SettingsToDialog(const RunSettings& settings, CommandFileDialogRecord& dialog) {
    dialog.EComFN = settings.CommandFileName;
    dialog.EExpDataFN = settings.DataFileName;
    dialog.EModelFN = settings.ModelFileName;
    dialog.ELimitsFN = settings.LimitsFileName;
    dialog.SimFit = settings.FitMode ? 1 : 0;
    dialog.ScaleNY = settings.DataScaled ? 1 : 0;
    dialog.UncertaintySG = settings.ErrorsFromFile ? 1 : 0;
    dialog.RULength = settings.RepeatUnitFixed ? 1 : 0;
    dialog.QzFormat = settings.QzInverseAngstrom ? 1 : 0;
    dialog.DensityUnits = settings.DensityUnits;
    dialog.ETolerance = FormatE(settings.FitTolerance, 15);
    dialog.ECutOffLevel = FormatE(settings.CutOffLevel, 15);
    dialog.EMaxIter = FormatI(settings.MaxIterations);
    switch (settings.CalculationMode) {
        case 'F':
            dialog.CalculationFPM = 0;
            break;
        case 'P':
            dialog.CalculationFPM = 1;
            break;
        case 'M':
            dialog.CalculationFPM = 2;
            break;
        default:
            break;  // any other letter leaves the choice as it was
    }
}

void DialogToSettings(const CommandFileDialogRecord& dialog, RunSettings& settings) {
    // Checked first, so that a refused count leaves the settings as they were.
    const std::uint16_t maxIterations =
        ParseIterationCount(
            WithoutBlanksAround(dialog.EMaxIter),
            "Command File Parameters, Max # of Iterations: '" + dialog.EMaxIter + "'")
            .value_or(static_cast<std::uint16_t>(kDialogMaxIterationsFallback));
    settings.CommandFileName = dialog.EComFN;
    settings.DataFileName = dialog.EExpDataFN;
    settings.ModelFileName = dialog.EModelFN;
    settings.LimitsFileName = dialog.ELimitsFN;
    settings.FitMode = dialog.SimFit == 1;
    settings.DataScaled = dialog.ScaleNY == 1;
    settings.ErrorsFromFile = dialog.UncertaintySG == 1;
    // A disabled "Repeat Unit Length" (no repeat unit in the model) always means "Free".
    settings.RepeatUnitFixed = dialog.RULengthEnabled && dialog.RULength == 1;
    settings.QzInverseAngstrom = dialog.QzFormat == 1;
    // Only the four items exist; anything else would read values unconverted and write 0 back.
    settings.DensityUnits =
        dialog.DensityUnits >= 0 && dialog.DensityUnits <= 3 ? dialog.DensityUnits : 0;
    settings.FitTolerance = ParseRealTrimmed(dialog.ETolerance).value_or(kDialogToleranceFallback);
    settings.MaxIterations = maxIterations;
    settings.CutOffLevel = ParseRealTrimmed(dialog.ECutOffLevel).value_or(0.0);
    static const char kModes[3] = {'F', 'P', 'M'};
    settings.CalculationMode = kModes[dialog.CalculationFPM == 0   ? 0
                                      : dialog.CalculationFPM == 1 ? 1
                                                                   : 2];
}

}  // namespace korvel
