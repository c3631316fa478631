#pragma once
// Where the time of a long simulation goes: a 100-period multilayer on 60,000 points
// in Matrix mode, the whole run against its parts (model read, engine, smearing,
// .sml text, writing the file), with the target that formatting and writing cost
// no more than the engine's curve.

namespace korvel::bench {

// Prints the table; `cliPath` names the korvel-cli to time as a whole process too.
void PrintSimulationSplit(const char* cliPath);

}  // namespace korvel::bench
