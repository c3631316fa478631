// The .sml text of a computed curve.

#include "output/SimulationText.h"

#include <cmath>

#include "base/NumberFormat.h"
#include "base/RunError.h"
#include "input/ModelReader.h"

namespace korvel {

namespace {

// A value in the program's E(15) format, without the blank that stands for "+".
std::string Shown(double value) {
    std::string text = FormatE(value, 15);
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? text : text.substr(first);
}

}  // namespace

std::string SmlText(std::span<const double> angles, std::span<const double> smeared, bool qz,
                    double wavelength, const std::string& source) {
    std::string text;
    text.reserve(angles.size() * 33);
    for (std::size_t i = 0; i < angles.size(); ++i) {
        const double theta = angles[i];
        const double reflectivity = smeared[i];
        // The engine refuses non-finite values; a file must never carry one either.
        if (!std::isfinite(reflectivity))
            throw RunError("The computed reflectivity is not a finite number.",
                           "angle " + Shown(theta) + " deg" +
                               (source.empty() ? std::string() : " (" + source + ")"));
        const double x = qz ? AngleToQz(theta, wavelength) : theta;
        text += FormatE(x, 15);
        text += ' ';
        text += FormatE(reflectivity, 15);
        text += kLineEnd;
    }
    return text;
}

}  // namespace korvel
