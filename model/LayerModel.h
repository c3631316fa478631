#pragma once
// The layer model read from a .mdl file: wavelength and resolution numbers, the
// four layer counts and 4 parameters per layer (thickness, delta, beta,
// roughness), the substrate last. Lengths in angstrom, angles in degrees.
//
// Values live in cells; every read and write goes through ParameterSlots, because
// a linked parameter's slot refers to the cell of the parameter it follows.

#include <cstdint>
#include <vector>

#include "base/ParameterIndex.h"

namespace korvel {

struct ModelHeader {
    double Wavelength = 0.0;         // lambda, angstrom
    double WavelengthSpread = 0.0;   // same unit as the wavelength
    double ResolutionOffset1 = 0.0;  // degrees
    double ResolutionOffset2 = 0.0;  // degrees
    double ResolutionSlope1 = 0.0;
    double ResolutionSlope2 = 0.0;
};

struct LayerCounts {
    std::uint8_t TopLayerCount = 0;         // n1
    std::uint8_t RepeatUnitLayerCount = 0;  // n2
    std::uint8_t BottomLayerCount = 0;      // n3
    std::uint8_t RepeatCount = 0;           // N, 0 whenever n2 = 0
};

struct LayerModel {
    ModelHeader Header;
    double WaveNumber = 0.0;  // 2 pi / Wavelength
    LayerCounts Counts;
    std::uint16_t LayerCount = 0;      // n1 + n2 + n3 + 1 (the substrate)
    std::uint16_t ParameterCount = 0;  // 4 * LayerCount

    // Value cells, stored 0-based: cell c (1-based) is ParameterCells[c - 1].
    std::vector<double> ParameterCells;
    // Slot j (1-based) holds the 1-based number of the cell parameter j reads and writes.
    std::vector<int> ParameterSlots;

    // Parameter j = 1 .. ParameterCount, through its slot.
    double Value(int j) const { return ParameterCells[ParameterSlots[j - 1] - 1]; }
    void SetValue(int j, double v) { ParameterCells[ParameterSlots[j - 1] - 1] = v; }
    // Redirect slot j to the cell that slot target refers to now.
    void Link(int j, int target) { ParameterSlots[j - 1] = ParameterSlots[target - 1]; }

    // Creates ParameterCount cells (all 0) with slot j referring to cell j.
    void Allocate();

    int FilmLayerCount() const { return LayerCount - 1; }
};

}  // namespace korvel
