#pragma once
// What a fitting run reads before its search: the data file and the weighting dialog,
// the result files' names and checks.

namespace korvel {

struct Workspace;
class RunInterface;

// The data file named in ws.Settings into ws.Curves. Shows the weighting dialog (when
// the errors are not taken from the file) after the file is read and before it is
// parsed; converts Qz with the wavelength of the model named now; then checks that the
// limits file can be read and the result files (.pct, .bst, .loc beside the model, named
// in ws.Files) can be created without replacing an input.
void ReadDataFile(Workspace& ws, RunInterface& ui);

}  // namespace korvel
