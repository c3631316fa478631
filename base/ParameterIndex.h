#pragma once
// The one place that maps a model parameter index j = 1 .. 4*LayerCount onto its
// layer and column. Four parameters per layer, in file order: thickness, the real
// density column (delta after reading), the imaginary one (beta) and the roughness
// of the layer's upper interface. "j mod 4" picks the column: 1, 2, 3, 0.

#include <string>

namespace korvel {

enum class Column { Thickness = 1, ReDensity = 2, ImDensity = 3, Roughness = 4 };

// Layer number L = (j - 1) div 4 + 1.
constexpr int LayerOf(int j) { return (j - 1) / 4 + 1; }
// Column number C = (j - 1) mod 4 + 1 (1 thickness .. 4 roughness).
constexpr int ColumnNumberOf(int j) { return (j - 1) % 4 + 1; }
constexpr Column ColumnOf(int j) { return static_cast<Column>(ColumnNumberOf(j)); }
// Index of the parameter in a given layer and column.
constexpr int ParameterIndex(int layer, Column column) {
    return (layer - 1) * 4 + static_cast<int>(column);
}
// Columns 2 and 3 carry densities and are converted with the density units.
constexpr bool IsDensityParameter(int j) { return j % 4 == 2 || j % 4 == 3; }
constexpr bool IsThicknessParameter(int j) { return j % 4 == 1; }

// Report labels, indexed by j mod 4: 0 "Roughness", 1 "Thickness", 2 "ReDensity", 3 "ImDensity".
inline const char* ParameterLabel(int j) {
    static const char* const labels[4] = {"Roughness", "Thickness", "ReDensity", "ImDensity"};
    return labels[j % 4];
}

// "[Thickness:2] (layer 2, column 1)": a parameter in messages about the input files.
inline std::string ParameterNameAndPlace(int j) {
    const std::string layer = std::to_string(LayerOf(j));
    return std::string("[") + ParameterLabel(j) + ":" + layer + "] (layer " + layer + ", column " +
           std::to_string(ColumnNumberOf(j)) + ")";
}

}  // namespace korvel
