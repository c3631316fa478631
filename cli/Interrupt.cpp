// SIGINT and SIGTERM handling for the fitting command: a sig_atomic_t flag set by the
// handler, which resets itself to the default action so that a second Ctrl+C (or a
// second SIGTERM) still kills.

#include "cli/Interrupt.h"

#include <signal.h>

#include <csignal>

namespace korvel::cli {

namespace {

volatile std::sig_atomic_t interruptFlag = 0;

void OnInterrupt(int) { interruptFlag = 1; }

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    // A batch system or a shutdown asks politely first: the best model so far is kept.
    sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() { return interruptFlag != 0; }

}  // namespace korvel::cli
