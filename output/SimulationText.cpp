// The .sml text of a computed curve.

#include "output/SimulationText.h"

#include <algorithm>
#include <cmath>
#include <string_view>

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
    // Each line: E(15), a blank, E(15) and the line end, written in place into a text
    // sized once for the longest lines.
    const std::string_view lineEnd = kLineEnd;
    const std::size_t longestLine =
        2 * static_cast<std::size_t>(MaxLengthE(15)) + 1 + lineEnd.size();
    std::string text(angles.size() * longestLine, ' ');
    char* end = text.data();
    for (std::size_t i = 0; i < angles.size(); ++i) {
        const double theta = angles[i];
        const double reflectivity = smeared[i];
        // The engine refuses non-finite values; a file must never carry one either.
        if (!std::isfinite(reflectivity))
            throw RunError("The computed reflectivity is not a finite number.",
                           "angle " + Shown(theta) + " deg" +
                               (source.empty() ? std::string() : " (" + source + ")"));
        end = WriteE(end, qz ? AngleToQz(theta, wavelength) : theta, 15);
        *end++ = ' ';
        end = WriteE(end, reflectivity, 15);
        end = std::copy(lineEnd.begin(), lineEnd.end(), end);
    }
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

}  // namespace korvel
