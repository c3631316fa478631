#pragma once
// The .inp command file and the transfers between the run settings and the
// "Command File Parameters" dialog record.

#include <string>

#include "app/DialogRecords.h"
#include "model/RunSettings.h"

namespace korvel {

struct Workspace;

// Reads Settings.CommandFileName into the settings, peeking at the model it names
// (sets RepeatUnitFixed false and CommandFileDialog.RULengthEnabled). A maximum number
// of iterations above 65535 is refused, naming the line.
void ReadCommandFile(Workspace& ws);
void SettingsToDialog(const RunSettings& settings, CommandFileDialogRecord& dialog);
// Throws RunError, leaving the settings as they were, for a "Max # of Iterations" above
// what the 16-bit counter holds.
void DialogToSettings(const CommandFileDialogRecord& dialog, RunSettings& settings);

}  // namespace korvel
