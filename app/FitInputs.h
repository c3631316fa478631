#pragma once
// What a fitting run reads before its search: the command file and its dialog, the
// data file and the weighting dialog, the result files' names and checks, the model
// and the limits with the starting simplex.

#include <optional>

#include "base/ResultSetWriter.h"

namespace korvel {

struct Workspace;
class RunInterface;

// Reads the command file, shows it in the "Command File Parameters" dialog, reads the
// data file (ReadDataFile), locks the result files and reads the model and the limits
// (ReadModelAndLimits), showing their warnings. Returns the writer that holds the
// result files locked; the run keeps it to its end. Returns nothing when the dialog was
// closed without OK: then nothing after the command file has been read or checked.
std::optional<ResultSetWriter> ReadFitInputs(Workspace& ws, RunInterface& ui);

// The data file named in ws.Settings into ws.Curves. Shows the weighting dialog (when
// the errors are not taken from the file) after the file is read and before it is
// parsed; converts Qz with the wavelength of the model named now; then checks that the
// limits file can be read and the result files (.pct, .bst, .loc beside the model, named
// in ws.Files) can be created without replacing an input.
void ReadDataFile(Workspace& ws, RunInterface& ui);

// The model and the limits named in ws.Settings: the model into ws.Model, the free
// parameters, links and starting simplex into ws.Free (fit/StartingSimplex), warnings
// added to ws.Warnings; the model as read into ws.StartModel, the limits into ws.Limits.
void ReadModelAndLimits(Workspace& ws);

}  // namespace korvel
