// The program's number formats E(w), F(w.d) and I(n). Independent of the C locale:
// no text comes from printf, so a decimal comma never appears.
//
// Every written digit is the exact binary value rounded to the digits shown, an exact
// half away from zero. Most numbers are rounded in 128-bit integer arithmetic: a double
// is m 2^q exactly, so |value| 10^s is m 5^s 2^(q+s) (or m 2^(q+s) / 5^-s), and the
// bits shifted or divided away decide the rounding without error. Numbers outside
// that range (beyond about 10^27 from the digits shown) go the slow way through the
// correctly rounded std::to_chars, exact halves rounded up by hand.

#include "base/NumberFormat.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace korvel {
namespace {

void AppendRightAligned(std::string& out, std::string_view text, int width) {
    if (static_cast<int>(text.size()) < width)
        out.append(static_cast<std::size_t>(width) - text.size(), ' ');
    out += text;
}

// "+Inf", "-Inf" or "Nan".
std::string_view NonFiniteText(double value) {
    if (std::isnan(value)) return "Nan";
    return value > 0 ? "+Inf" : "-Inf";
}

// ---- The slow way: std::to_chars and a check for exact halves -----------------------

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

// The conversion of `magnitude` to `decimals` digits after the point in `format`,
// an exact half rounded away from zero, in `buffer`. to_chars rounds halves to even;
// a half is converted with one more digit, which then shows it exactly ("...d5"), and
// rounded up by hand. (Nudging the value one step up instead would skip digits where
// the spacing of doubles exceeds the last digit written.)
std::string_view ConvertedHalvesAway(double magnitude, std::chars_format format, int decimals,
                                     char* buffer, std::size_t size) {
    if (!IsExactHalf(magnitude, format, decimals)) {
        const auto result = std::to_chars(buffer, buffer + size, magnitude, format, decimals);
        return {buffer, static_cast<std::size_t>(result.ptr - buffer)};
    }
    // One character spare in front for a carry out of the first digit of fixed notation.
    char* begin = buffer + 1;
    const auto result = std::to_chars(begin, buffer + size, magnitude, format, decimals + 1);
    char* const mantissaEnd = std::find(begin, result.ptr, 'e');
    int exponent = 0;
    if (mantissaEnd != result.ptr) {
        const char* first = mantissaEnd + 1;
        if (*first == '+') ++first;
        std::from_chars(first, result.ptr, exponent);
    }
    char* end = mantissaEnd - 1;       // drops the 5
    if (decimals == 0) --end;          // and the point before it
    bool carry = true;
    for (char* digit = end; carry && digit != begin;) {
        --digit;
        if (*digit == '.') continue;
        carry = *digit == '9';
        *digit = carry ? '0' : static_cast<char>(*digit + 1);
    }
    if (carry && format == std::chars_format::scientific) {
        *begin = '1';  // 9.99e+00 -> 1.00e+01
        ++exponent;
    } else if (carry) {
        *--begin = '1';  // 99.99 -> 100.00
    }
    if (format == std::chars_format::scientific) {
        *end++ = 'e';
        *end++ = exponent < 0 ? '-' : '+';
        end = std::to_chars(end, buffer + size, std::abs(exponent)).ptr;
    }
    return {begin, static_cast<std::size_t>(end - begin)};
}

// ---- The fast way: exact rounding in integers ---------------------------------------

constexpr int kMaxScale = 27;  // 5^27 < 2^63

constexpr std::array<std::uint64_t, kMaxScale + 1> PowersOf(std::uint64_t base) {
    std::array<std::uint64_t, kMaxScale + 1> powers{};
    std::uint64_t power = 1;
    for (auto& p : powers) {
        p = power;
        power *= base;
    }
    return powers;
}
constexpr auto kPowersOfFive = PowersOf(5);
constexpr auto kPowersOfTen = PowersOf(10);  // exact up to 10^19, used up to 10^18

// A non-negative finite double as Mantissa * 2^Exponent, exactly.
struct BinaryValue {
    std::uint64_t Mantissa = 0;
    int Exponent = 0;
};

BinaryValue Decompose(double magnitude) {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biased = static_cast<int>(bits >> 52);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0) return {fraction, -1074};  // subnormal
    return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

#ifdef __SIZEOF_INT128__
using Wide = unsigned __int128;

// Sets `rounded` to value * 10^scale rounded to an integer, an exact half upwards.
// False when an intermediate or the result does not fit; the caller then goes the
// slow way.
bool RoundScaled(BinaryValue value, int scale, std::uint64_t& rounded) {
    if (value.Mantissa == 0) {
        rounded = 0;
        return true;
    }
    if (scale > kMaxScale || scale < -kMaxScale) return false;
    Wide quotient = 0;
    bool up = false;
    if (scale >= 0) {
        // value 10^scale = Mantissa 5^scale 2^(Exponent + scale); the product < 2^116.
        const Wide product = Wide{value.Mantissa} * kPowersOfFive[scale];
        const int shift = value.Exponent + scale;
        if (shift >= 0) {
            if (shift > 63 || (product >> (64 - shift)) != 0) return false;
            rounded = static_cast<std::uint64_t>(product << shift);
            return true;
        }
        const int dropped = -shift;
        if (dropped > 120) {  // the product is below half of 2^dropped
            rounded = 0;
            return true;
        }
        // The last bit dropped is the half: set, the rest is at least half of 2^dropped.
        const Wide halves = product >> (dropped - 1);
        quotient = halves >> 1;
        up = (halves & 1) != 0;
    } else {
        // value / 10^-scale = Mantissa 2^(Exponent + scale) / 5^-scale.
        const Wide five = kPowersOfFive[-scale];
        const int shift = value.Exponent + scale;
        Wide numerator = value.Mantissa;
        Wide divisor = five;
        if (shift >= 0) {
            if (shift > 74) return false;  // Mantissa < 2^53
            numerator <<= shift;
        } else {
            if (-shift > 64) return false;  // 5^27 < 2^63
            divisor <<= -shift;
        }
        quotient = numerator / divisor;
        up = 2 * (numerator % divisor) >= divisor;
    }
    quotient += up ? 1 : 0;
    if (quotient > UINT64_MAX) return false;
    rounded = static_cast<std::uint64_t>(quotient);
    return true;
}
#else
bool RoundScaled(BinaryValue, int, std::uint64_t&) { return false; }
#endif

// Significant digits and decimal exponent of E(w): |value| ~ Digits * 10^(Exponent -
// count + 1), Digits having exactly `count` digits.
struct Scientific {
    std::uint64_t Digits = 0;
    int Exponent = 0;
};

bool ScientificFast(double magnitude, int count, Scientific& out) {
    if (magnitude == 0.0) {
        out = {};
        return true;
    }
    const BinaryValue value = Decompose(magnitude);
    // floor(log10 |value|) is floor(log2 |value| * log10 2) or one more; 78913 / 2^18
    // is log10 2 closely enough for every binary exponent of a double.
    const int log2 = static_cast<int>(std::bit_width(value.Mantissa)) - 1 + value.Exponent;
    int exponent = (log2 * 78913) >> 18;
    // A wrong guess shows as too many or too few digits; a rounding that carries into
    // the exponent (9.9999999 -> 10.000000) shows as one digit too many and is redone
    // one decade up.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int scale = count - 1 - exponent;
        std::uint64_t digits = 0;
#ifdef __SIZEOF_INT128__
        // The common case of RoundScaled inline: a number of about the digits' size
        // or smaller, whose product with 5^scale loses bits to the right.
        const int dropped = -(value.Exponent + scale);
        if (scale >= 0 && scale <= kMaxScale && dropped >= 1 && dropped <= 64) {
            const Wide halves = (Wide{value.Mantissa} * kPowersOfFive[scale]) >> (dropped - 1);
            if ((halves >> 65) != 0) return false;
            digits = static_cast<std::uint64_t>(halves >> 1) + static_cast<std::uint64_t>(halves & 1);
        } else if (!RoundScaled(value, scale, digits)) {
            return false;
        }
#else
        if (!RoundScaled(value, scale, digits)) return false;
#endif
        if (digits >= kPowersOfTen[count]) {
            ++exponent;
        } else if (digits < kPowersOfTen[count - 1]) {
            --exponent;
        } else {
            out = {digits, exponent};
            return true;
        }
    }
    return false;
}

// "00" "01" ... "99": digits are written in pairs, half the divisions of one by one.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

void WritePair(char* at, std::uint32_t pair) { std::memcpy(at, kDigitPairs.data() + 2 * pair, 2); }

// The eight decimal digits of n < 10^8 as characters, the most significant first in
// memory (little-endian), computed in lanes of one 64-bit word: the two halves of four
// digits, then four pairs, then eight digits, each step one multiplication by a
// reciprocal (exact for these ranges: 10486 / 2^20 for 1/100 below 10^4, 103 / 2^10
// for 1/10 below 100).
std::uint64_t EightDigits(std::uint32_t n) {
    std::uint64_t lanes = (n / 10000) | (static_cast<std::uint64_t>(n % 10000) << 32);
    const std::uint64_t hundreds = ((lanes * 10486) >> 20) & 0x0000007F0000007Full;
    lanes = hundreds | ((lanes - hundreds * 100) << 16);
    const std::uint64_t tens = ((lanes * 103) >> 10) & 0x000F000F000F000Full;
    lanes = tens | ((lanes - tens * 10) << 8);
    return lanes + 0x3030303030303030ull;  // '0' in every byte
}

// Writes the last `count` <= 8 digits of `digits` ending just before `end`, in 32-bit
// arithmetic (cheaper divisions by constants than in 64 bits).
void WriteShortDigits(char* end, std::uint32_t digits, int count) {
    for (; count >= 2; count -= 2) {
        end -= 2;
        WritePair(end, digits % 100);
        digits /= 100;
    }
    if (count == 1) *--end = static_cast<char>('0' + digits % 10);
}

// Writes the last `count` <= 19 digits of `digits` (with leading zeros) ending just
// before `end`.
void WriteDigits(char* end, std::uint64_t digits, int count) {
    while (count > 8) {
        WriteShortDigits(end, static_cast<std::uint32_t>(digits % 100000000), 8);
        digits /= 100000000;
        end -= 8;
        count -= 8;
    }
    WriteShortDigits(end, static_cast<std::uint32_t>(digits), count);
}

}  // namespace

int MaxLengthE(int width) { return std::max(width, std::clamp(width - 8, 2, 18) + 8); }

char* WriteE(char* out, double value, int width) {
    const int significant = std::clamp(width - 8, 2, 18);
    // sign, digit, ".", significant - 1 digits, "E", exponent sign, four digits
    const int length = significant + 8;
    if (!std::isfinite(value)) {
        const std::string_view text = NonFiniteText(value);
        const int padding = std::max(0, width - static_cast<int>(text.size()));
        out = std::fill_n(out, padding, ' ');
        return std::copy(text.begin(), text.end(), out);
    }
    out = std::fill_n(out, std::max(0, width - length), ' ');
    const double magnitude = std::fabs(value);
    out[0] = value < 0 ? '-' : ' ';  // zero of either sign gets a blank
    int exponent = 0;
    Scientific fast;
    const bool exact = ScientificFast(magnitude, significant, fast);
    if (exact && (significant == 7 || significant == 8) &&
        std::endian::native == std::endian::little) {
        // E(15) and E(16), the curve files' format: the eight characters of the digits
        // (one leading zero for seven) stored so that all but the first land after
        // the point, then the first and the point put in front.
        const std::uint64_t characters = EightDigits(static_cast<std::uint32_t>(fast.Digits));
        std::memcpy(out + significant - 6, &characters, 8);
        out[1] = static_cast<char>(characters >> (8 * (8 - significant)));
        out[2] = '.';
        exponent = fast.Exponent;
    } else if (exact) {
        WriteDigits(out + 2 + significant, fast.Digits, significant);
        out[1] = out[2];
        out[2] = '.';
        exponent = fast.Exponent;
    } else {
        // to_chars rounds correctly and carries into the exponent (9.9999999 -> 1.000000e+01).
        char buffer[64];
        const std::string_view converted = ConvertedHalvesAway(
            magnitude, std::chars_format::scientific, significant - 1, buffer, sizeof buffer);
        const std::size_t e = converted.find('e');
        converted.copy(out + 1, e);  // "d.ddd", significant + 1 characters
        const char* first = converted.data() + e + 1;
        if (*first == '+') ++first;
        std::from_chars(first, converted.data() + converted.size(), exponent);
    }
    out[significant + 2] = 'E';
    out[significant + 3] = exponent < 0 ? '-' : '+';
    const auto decades = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
    WritePair(out + length - 4, decades / 100);  // a double's exponent is below 400
    WritePair(out + length - 2, decades % 100);
    return out + length;
}

void AppendE(std::string& out, double value, int width) {
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(MaxLengthE(width)));
    out.resize(static_cast<std::size_t>(WriteE(out.data() + start, value, width) - out.data()));
}

void AppendF(std::string& out, double value, int width, int decimals) {
    if (!std::isfinite(value)) {
        AppendRightAligned(out, NonFiniteText(value), width);
        return;
    }
    decimals = std::clamp(decimals, 0, 30);

    std::uint64_t scaled = 0;
    if (decimals <= kMaxScale && RoundScaled(Decompose(std::fabs(value)), decimals, scaled)) {
        // "-", at most 20 digits before the point, ".", decimals
        char text[64];
        char* const end = text + sizeof text;
        char* begin = end;
        std::uint64_t rest = scaled;
        for (int i = 0; i < decimals; ++i) {
            *--begin = static_cast<char>('0' + rest % 10);
            rest /= 10;
        }
        if (decimals > 0) *--begin = '.';
        do {
            *--begin = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        // A value that rounds to zero is written without a sign: -0.00001 in F(10.4) is
        // "0.0000", never "-0.0000".
        if (value < 0 && scaled != 0) *--begin = '-';
        AppendRightAligned(out, std::string_view(begin, static_cast<std::size_t>(end - begin)),
                           width);
        return;
    }

    // Fixed notation of a double can need about 310 digits before the point.
    char buffer[400];
    const std::string_view text = ConvertedHalvesAway(std::fabs(value), std::chars_format::fixed,
                                                      decimals, buffer, sizeof buffer);
    // A value that rounds to zero is written without a sign.
    const bool minus = value < 0 && text.find_first_not_of("0.") != std::string_view::npos;
    const int length = static_cast<int>(text.size()) + (minus ? 1 : 0);
    if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
    if (minus) out += '-';
    out += text;
}

void AppendI(std::string& out, long long value, int width) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    AppendRightAligned(out, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)),
                       width);
}

std::string FormatE(double value, int width) {
    std::string text;
    AppendE(text, value, width);
    return text;
}

std::string FormatF(double value, int width, int decimals) {
    std::string text;
    AppendF(text, value, width, decimals);
    return text;
}

std::string FormatI(long long value, int width) {
    std::string text;
    AppendI(text, value, width);
    return text;
}

}  // namespace korvel
