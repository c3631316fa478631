#pragma once
// The .inp command file and the transfers between the run settings and the
// "Command File Parameters" dialog record.

#include "app/DialogRecords.h"
#include "app/RunSettings.h"

namespace korvel {

struct Workspace;

// Reads Settings.CommandFileName into the settings, peeking at the model it names
// (sets RepeatUnitFixed false and CommandFileDialog.RULengthEnabled).
void ReadCommandFile(Workspace& ws);
void SettingsToDialog(const RunSettings& settings, CommandFileDialogRecord& dialog);
void DialogToSettings(const CommandFileDialogRecord& dialog, RunSettings& settings);

}  // namespace korvel
