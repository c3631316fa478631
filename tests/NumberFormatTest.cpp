#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/NumberFormat.h"

using namespace korvel;

TEST(FormatE, WritesSignDigitsAndFourDigitExponent) {
    EXPECT_EQ(FormatE(0.001234568, 15), " 1.234568E-0003");
    EXPECT_EQ(FormatE(1e-5, 15), " 1.000000E-0005");
    EXPECT_EQ(FormatE(-125.3, 15), "-1.253000E+0002");
    EXPECT_EQ(FormatE(7.6e-6, 15), " 7.600000E-0006");
    EXPECT_EQ(FormatE(-1.5), "-1.50000000000000E+0000");  // E(23) by default
    EXPECT_EQ(FormatE(1.0 / 3.0, 12), " 3.333E-0001");
    EXPECT_EQ(FormatE(123456789.0, 17), " 1.23456789E+0008");
}

TEST(FormatE, ZeroOfEitherSignGetsABlank) {
    EXPECT_EQ(FormatE(0.0, 15), " 0.000000E+0000");
    EXPECT_EQ(FormatE(-0.0, 15), " 0.000000E+0000");
    EXPECT_EQ(FormatE(0.0, 10), " 0.0E+0000");
    EXPECT_EQ(FormatE(1e-8, 10), " 1.0E-0008");
}

TEST(FormatE, RoundingCarriesIntoTheExponent) {
    EXPECT_EQ(FormatE(9.9999999, 15), " 1.000000E+0001");
    EXPECT_EQ(FormatE(-0.099999999, 15), "-1.000000E-0001");
    EXPECT_EQ(FormatE(9.96, 10), " 1.0E+0001");
}

TEST(FormatE, HandlesTheExtremesOfDoubles) {
    EXPECT_EQ(FormatE(1e300, 15), " 1.000000E+0300");
    EXPECT_EQ(FormatE(std::numeric_limits<double>::denorm_min(), 15), " 4.940656E-0324");
    EXPECT_EQ(FormatE(std::numeric_limits<double>::max(), 12), " 1.798E+0308");
}

TEST(FormatE, NonFiniteValuesAreRightAligned) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatE(inf, 15), "           +Inf");
    EXPECT_EQ(FormatE(-inf, 10), "      -Inf");
    EXPECT_EQ(FormatE(std::numeric_limits<double>::quiet_NaN(), 15), "            Nan");
}

TEST(FormatE, ClampsTheSignificantDigits) {
    EXPECT_EQ(FormatE(1.0, 8), " 1.0E+0000");   // at least 2 digits
    const std::string wide = FormatE(1.0, 30);  // at most 18 digits, padded to the width
    EXPECT_EQ(wide.size(), 30u);
    EXPECT_EQ(wide, std::string(5, ' ') + "1." + std::string(17, '0') + "E+0000");
}

TEST(FormatF, WritesFixedDecimalsRightAligned) {
    EXPECT_EQ(FormatF(0.0, 10, 4), "    0.0000");
    EXPECT_EQ(FormatF(125.3, 10, 4), "  125.3000");
    EXPECT_EQ(FormatF(1.54, 8, 4), "  1.5400");
    EXPECT_EQ(FormatF(0.03, 6, 3), " 0.030");
    EXPECT_EQ(FormatF(-2.5, 7, 4), "-2.5000");
    EXPECT_EQ(FormatF(12345.678, 4, 2), "12345.68");  // longer than the width when needed
    EXPECT_EQ(FormatF(0.1234, 9, 3), "    0.123");
}

TEST(FormatF, PrintsAMinusOnlyForValuesNegativeAfterRounding) {
    EXPECT_EQ(FormatF(0.00004, 7, 4), " 0.0000");  // a small header value
    EXPECT_EQ(FormatF(-0.00001, 10, 4), "    0.0000");
    EXPECT_EQ(FormatF(-0.0, 10, 4), "    0.0000");
    EXPECT_EQ(FormatF(-0.00006, 10, 4), "   -0.0001");
    EXPECT_EQ(FormatF(-0.4, 3, 0), "  0");
}

TEST(FormatI, PadsToTheWidthOnly) {
    EXPECT_EQ(FormatI(7), "7");
    EXPECT_EQ(FormatI(3, 2), " 3");
    EXPECT_EQ(FormatI(12, 2), "12");
    EXPECT_EQ(FormatI(123, 2), "123");
    EXPECT_EQ(FormatI(-5, 6), "    -5");
}

TEST(NumberFormats, IgnoreTheCLocaleDecimalSeparator) {
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if ((chosen = std::setlocale(LC_NUMERIC, name)) != nullptr) break;
    if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    const std::string e = FormatE(1.5, 15);
    const std::string f = FormatF(1.5, 6, 2);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(e, " 1.500000E+0000");
    EXPECT_EQ(f, "  1.50");
}

// Values exactly halfway between two written values round away from zero, as
// "rounded" reads: a D of 0.0625 is written 0.063, not the even neighbour 0.062.
TEST(NumberFormats, RoundExactHalvesAwayFromZero) {
    EXPECT_EQ(FormatF(0.0625, 6, 3), " 0.063");
    EXPECT_EQ(FormatF(-0.0625, 6, 3), "-0.063");
    EXPECT_EQ(FormatF(2.5, 1, 0), "3");
    EXPECT_EQ(FormatF(0.03125, 7, 4), " 0.0313");
    EXPECT_EQ(FormatE(1.25, 10), " 1.3E+0000");
    EXPECT_EQ(FormatE(-0.125, 10), "-1.3E-0001");
    EXPECT_EQ(FormatE(1.0625, 12), " 1.063E+0000");
    EXPECT_EQ(FormatE(9.5, 10), " 9.5E+0000");
    EXPECT_EQ(FormatE(9.75, 10), " 9.8E+0000");
    EXPECT_EQ(FormatE(9.95, 10), " 9.9E+0000");  // 9.95 lies below the half in binary
    EXPECT_EQ(FormatE(99.5, 10), " 1.0E+0002");   // the rounded half carries into the exponent
    // Not halves: the nearest value as before.
    EXPECT_EQ(FormatF(0.0635, 6, 3), " 0.064");
    EXPECT_EQ(FormatE(1.35, 10), " 1.4E+0000");
}

// ---- The formats against a literal twin ---------------------------------------------

namespace {

// The literal way to the same texts: every digit of the exact binary value (a double's
// decimal expansion ends within 1100 digits), rounded by hand, an exact half away from
// zero. Slow and plain, so that it can be trusted.
struct ExactDigits {
    std::string Digits;    // without leading zeros (one "0" for zero)
    int PointAfter = 0;    // digits before the decimal point
};

ExactDigits AllDigits(double magnitude) {
    static char buffer[1500];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, 1100).ptr;
    std::string text(buffer, end);
    const std::size_t point = text.find('.');
    ExactDigits exact{text.substr(0, point) + text.substr(point + 1), static_cast<int>(point)};
    while (exact.Digits.size() > 1 && exact.Digits[0] == '0') {
        exact.Digits.erase(0, 1);
        --exact.PointAfter;
    }
    return exact;
}

// The first `keep` digits rounded by the rest; true when the rounding carried out of
// the first digit (the digits are then all zeros).
bool RoundByHand(std::string& digits, std::size_t keep) {
    const bool up = keep < digits.size() && digits[keep] >= '5';
    digits.resize(keep, '0');
    if (!up) return false;
    for (std::size_t i = keep; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

std::string Padded(std::string text, int width) {
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string NonFinite(double value, int width) {
    return Padded(std::isnan(value) ? "Nan" : value > 0 ? "+Inf" : "-Inf", width);
}

std::string LiteralE(double value, int width) {
    if (!std::isfinite(value)) return NonFinite(value, width);
    const auto significant = static_cast<std::size_t>(std::clamp(width - 8, 2, 18));
    ExactDigits exact = AllDigits(std::fabs(value));
    int exponent = value == 0.0 ? 0 : exact.PointAfter - 1;
    if (RoundByHand(exact.Digits, significant)) {
        exact.Digits = "1" + exact.Digits.substr(1);
        ++exponent;
    }
    std::string exponentDigits = std::to_string(std::abs(exponent));
    exponentDigits.insert(0, 4 - exponentDigits.size(), '0');
    return Padded(std::string(value < 0 ? "-" : " ") + exact.Digits[0] + "." +
                      exact.Digits.substr(1) + "E" + (exponent < 0 ? "-" : "+") + exponentDigits,
                  width);
}

std::string LiteralF(double value, int width, int decimals) {
    if (!std::isfinite(value)) return NonFinite(value, width);
    decimals = std::clamp(decimals, 0, 30);
    ExactDigits exact = AllDigits(std::fabs(value));
    // Leading zeros up to the first decimal place, so the point lies inside the digits.
    if (exact.PointAfter < 1) {
        exact.Digits.insert(0, static_cast<std::size_t>(1 - exact.PointAfter), '0');
        exact.PointAfter = 1;
    }
    if (RoundByHand(exact.Digits, static_cast<std::size_t>(exact.PointAfter + decimals))) {
        exact.Digits.insert(0, 1, '1');
        ++exact.PointAfter;
    }
    std::string text = exact.Digits.substr(0, static_cast<std::size_t>(exact.PointAfter));
    text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
    if (decimals > 0) text += "." + exact.Digits.substr(static_cast<std::size_t>(exact.PointAfter));
    if (value < 0 && text.find_first_not_of("0.") != std::string::npos) text.insert(0, 1, '-');
    return Padded(text, width);
}

// Values where rounding goes wrong first: random bit patterns (subnormals, extremes),
// short binary fractions (exact halves at every digit, also where doubles are sparser
// than the last digit written), neighbours of powers of ten (carries into the exponent)
// and values as the curves hold them.
std::vector<double> HardValues() {
    std::mt19937_64 random(20240611);
    std::vector<double> values;
    for (int i = 0; i < 600; ++i) {
        const double value = std::bit_cast<double>(random());
        if (std::isfinite(value)) values.push_back(value);
    }
    for (int i = 0; i < 600; ++i) {
        const auto mantissa = static_cast<double>(random() >> (11 + random() % 50));
        values.push_back(std::ldexp(mantissa, -static_cast<int>(random() % 40)));
        values.push_back(-std::ldexp(mantissa, -static_cast<int>(random() % 40)));
    }
    for (int decade = -25; decade <= 25; ++decade) {
        const double power = std::pow(10.0, decade);
        values.push_back(power);
        values.push_back(std::nextafter(power, 0.0));
        values.push_back(std::nextafter(power, HUGE_VAL));
        values.push_back(power * 0.99999999995);
        values.push_back(power * 9.9999999999999995);
        values.push_back(-power * 0.999999995);
    }
    std::uniform_real_distribution<double> logarithm(-50.0, 5.0);
    for (int i = 0; i < 400; ++i) values.push_back(std::exp(logarithm(random)));
    values.push_back(std::ldexp(1.0, 45) + std::ldexp(1.0, -7));  // ...832.0078125
    values.push_back(std::ldexp(1.0, -29));
    values.push_back(std::numeric_limits<double>::max());
    values.push_back(std::numeric_limits<double>::min());
    values.push_back(std::numeric_limits<double>::denorm_min());
    values.push_back(std::numeric_limits<double>::quiet_NaN());
    values.push_back(-std::numeric_limits<double>::infinity());
    values.push_back(0.0);
    values.push_back(-0.0);
    return values;
}

}  // namespace

TEST(NumberFormats, WriteTheExactValueRoundedHalfAwayAtEveryWidth) {
    int mismatches = 0;
    for (double value : HardValues()) {
        for (int width : {8, 10, 12, 15, 16, 17, 23, 26, 31}) {
            const std::string expected = LiteralE(value, width);
            if (FormatE(value, width) != expected && ++mismatches <= 10)
                ADD_FAILURE() << "E(" << width << ") of " << std::hexfloat << value << ": "
                              << FormatE(value, width) << " instead of " << expected;
        }
        for (int decimals : {0, 1, 3, 4, 6, 12, 20, 27, 28, 30}) {
            const std::string expected = LiteralF(value, 12, decimals);
            if (FormatF(value, 12, decimals) != expected && ++mismatches <= 10)
                ADD_FAILURE() << "F(12." << decimals << ") of " << std::hexfloat << value << ": "
                              << FormatF(value, 12, decimals) << " instead of " << expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Where the spacing of doubles exceeds the last digit written, an exact half must not
// be taken to the next double: that skips digits (...727.0625 became ...727.125).
TEST(NumberFormats, RoundHalvesAwayWhereDoublesAreSparserThanTheLastDigit) {
    EXPECT_EQ(FormatF(458080878056727.0625, 0, 3), "458080878056727.063");
    EXPECT_EQ(FormatF(-458080878056727.0625, 0, 3), "-458080878056727.063");
    EXPECT_EQ(FormatE(458080878056727.0625, 26), " 4.58080878056727063E+0014");
    EXPECT_EQ(FormatF(std::ldexp(1.0, 45) + std::ldexp(1.0, -7), 0, 6), "35184372088832.007813");
    EXPECT_EQ(FormatF(std::ldexp(1.0, -29), 0, 28), "0.0000000018626451492309570313");
}

TEST(NumberFormats, AppendAddsExactlyTheFormattedText) {
    std::string text = "x";
    AppendE(text, 9.9999999, 15);
    AppendF(text, -0.00001, 10, 4);
    AppendI(text, -5, 6);
    AppendE(text, std::numeric_limits<double>::quiet_NaN(), 4);
    AppendF(text, 12345.678, 4, 2);
    EXPECT_EQ(text, "x" + FormatE(9.9999999, 15) + FormatF(-0.00001, 10, 4) + FormatI(-5, 6) +
                        " Nan" + "12345.68");
}
