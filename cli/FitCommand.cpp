// `korvel-cli fit`: waits for the fitting run.

#include "app/RunError.h"
#include "cli/Commands.h"

namespace korvel::cli {

int RunFitCommand(const FitOptions& options) {
    throw RunError("The fitting run is not part of this build yet.", options.CommandFile);
}

}  // namespace korvel::cli
