// The program's number formats E(w), F(w.d) and I(n). Independent of the C locale:
// every text is built from std::to_chars, so a decimal comma never appears.

#include "base/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace korvel {
namespace {

std::string RightAligned(std::string text, int width) {
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

// "+Inf", "-Inf" or "Nan"; empty for finite values.
std::string NonFiniteText(double value) {
    if (std::isnan(value)) return "Nan";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    return {};
}

// True when `magnitude` lies exactly halfway between two numbers written with
// `decimals` digits after the point in `format`. Exact decimal expansions of doubles
// end within 1100 digits, so the long conversion below shows every digit.
bool IsExactHalf(double magnitude, std::chars_format format, int decimals) {
    constexpr int kAllDigits = 1100;
    char buffer[1500];
    // Cheap test first: a half shows a last digit 5 with one more digit.
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, format, decimals + 1);
    const std::string_view shortText(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = shortText.find('e');
    if (shortText[(e == std::string_view::npos ? shortText.size() : e) - 1] != '5') return false;
    result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, format, kAllDigits);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) return false;
    std::string_view rest = text.substr(point + 1 + static_cast<std::size_t>(decimals));
    rest = rest.substr(0, rest.find('e'));
    return !rest.empty() && rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
}

// A value exactly halfway rounds away from zero: nudged one step outwards, the
// correctly rounded conversion then gives the digit above.
double AwayFromZeroOnHalves(double value, std::chars_format format, int decimals) {
    if (!IsExactHalf(std::fabs(value), format, decimals)) return value;
    return std::nextafter(value, value < 0 ? -HUGE_VAL : HUGE_VAL);
}

}  // namespace

std::string FormatE(double value, int width) {
    if (!std::isfinite(value)) return RightAligned(NonFiniteText(value), width);

    const int significant = std::clamp(width - 8, 2, 18);
    // to_chars rounds correctly and carries into the exponent (9.9999999 -> 1.000000e+01).
    char buffer[64];
    const double magnitude =
        AwayFromZeroOnHalves(std::fabs(value), std::chars_format::scientific, significant - 1);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                      std::chars_format::scientific, significant - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    const std::string_view mantissa = text.substr(0, e);
    const int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());

    std::string out;
    out.reserve(static_cast<std::size_t>(std::max(width, 32)));
    out += value < 0 ? '-' : ' ';  // zero of either sign gets a blank
    out += mantissa;
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    const std::string digits = std::to_string(std::abs(exponent));
    out.append(4 - std::min<std::size_t>(4, digits.size()), '0');
    out += digits;
    return RightAligned(std::move(out), width);
}

std::string FormatF(double value, int width, int decimals) {
    if (!std::isfinite(value)) return RightAligned(NonFiniteText(value), width);

    decimals = std::clamp(decimals, 0, 30);
    // Fixed notation of a double can need about 310 digits before the point.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer,
                                      AwayFromZeroOnHalves(value, std::chars_format::fixed, decimals),
                                      std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    // A value that rounds to zero is written without a sign: -0.00001 in F(10.4) is
    // "0.0000", never "-0.0000".
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return RightAligned(std::move(text), width);
}

std::string FormatI(long long value, int width) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return RightAligned(std::string(buffer, result.ptr), width);
}

}  // namespace korvel
