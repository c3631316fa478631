#pragma once
// The free parameters of a finished fit as the user reads them: "label:layer" and
// the value in the units of the model file.

#include <string>
#include <vector>

namespace korvel {
struct Workspace;
}

namespace korvel::cli {

struct FittedParameter {
    std::string Name;       // "Thickness:3"
    double Value = 0.0;     // in the units of the model file
    std::string ValueText;  // seven significant digits
};

std::vector<FittedParameter> FittedParameters(const Workspace& ws);

}  // namespace korvel::cli
