#pragma once
// Ctrl+C during a fit: the first SIGINT (or SIGTERM) only raises a flag, which the run
// interface turns into Ctrl+Q so the search ends and the result files are still
// written; a second one ends the program at once.

namespace korvel::cli {

// Installs the one-shot SIGINT and SIGTERM handler.
void InstallInterruptHandler();
// True once SIGINT or SIGTERM has arrived.
bool InterruptRequested();

}  // namespace korvel::cli
