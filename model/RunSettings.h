#pragma once
// The run settings record: what the command file and the two settings dialogs
// hand to a simulation or a fitting run. Lives as long as the workspace.

#include <cstdint>
#include <string>

namespace korvel {

struct RunSettings {
    std::string CommandFileName = "indefined";
    std::string DataFileName = "indefined";
    std::string ModelFileName = "indefined";
    std::string LimitsFileName = "indefined";
    bool FitMode = false;            // true: fit; false: evaluate the model only
    bool DataScaled = true;          // true: computed curves are not scaled to the data
    bool ErrorsFromFile = true;      // true: the data file has a third column dI
    double FitTolerance = 1.0e-5;    // stopping tolerance of the simplex
    std::uint16_t MaxIterations = 65000;
    double CutOffLevel = 0.0;        // floor of the computed reflectivity
    char CalculationMode = 'M';      // 'F' Fourier, 'P' Parratt, 'M' Matrix
    bool RepeatUnitFixed = false;    // keep the period of the repeat unit constant
    bool QzInverseAngstrom = false;  // abscissae are Qz in 1/A instead of degrees
    int DensityUnits = 0;            // 0 delta/beta, 1 SLD, 2 electron density, 3 Qc^2/mu
};

}  // namespace korvel
