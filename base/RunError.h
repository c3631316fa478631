#pragma once
// The one exception a run throws when it cannot go on (defined in the public header
// korvel/RunError.h, so that a library caller catches the same type), and how a run
// names the place of an error that does not know its own.

#include "korvel/RunError.h"

namespace korvel {

// Inside a catch block: rethrows the exception being handled, naming `where` as its
// place when it is a RunError without one (the engine knows no file names; the run
// that called it names the model).
[[noreturn]] inline void RethrowWithPlace(const std::string& where) {
    try {
        throw;
    } catch (const RunError& error) {
        if (!error.Where().empty()) throw;
        throw RunError(error.Message(), where);
    }
}

}  // namespace korvel
