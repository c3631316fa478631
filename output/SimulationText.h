#pragma once
// The .sml file of a simulation: one line per point, the abscissa (the glancing angle
// in degrees, or Qz in 1/angstrom) and the smeared reflectivity, each in E(15), lines
// ending in CR LF.

#include <span>
#include <string>

namespace korvel {

// The .sml text of the smeared curve `smeared` at the angles `angles` (degrees); with
// `qz` the abscissa is written as Qz at `wavelength` (angstrom). Throws RunError at the
// first reflectivity that is not finite, naming its angle and `source` (the model).
std::string SmlText(std::span<const double> angles, std::span<const double> smeared, bool qz,
                    double wavelength, const std::string& source);

}  // namespace korvel
