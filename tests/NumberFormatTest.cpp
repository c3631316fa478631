#include <gtest/gtest.h>

#include <clocale>
#include <limits>

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
