#pragma once
// The simulation run: the model on a regular grid of angles or Qz, written to .sml.

#include <string>

namespace korvel {

struct Workspace;
class RunInterface;

// The values a simulation takes from its settings dialog, already converted to numbers.
struct SimulationRequest {
    std::string ModelFileName;
    char CalculationMode = 'M';
    bool QzInverseAngstrom = false;
    double Lower = 0.0;
    double Upper = 1.0;
    long long Intervals = 100;
    int DensityUnits = 0;
};

// Runs the simulation and returns the full path of the .sml file written.
std::string RunSimulation(Workspace& ws, RunInterface& ui, const SimulationRequest& request);

}  // namespace korvel
