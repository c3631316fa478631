#pragma once
// Branch-free elementary functions for the batch reflectivity kernel, written so
// that a loop calling them over an array of points compiles to vector code: the
// real exponential, sine and cosine of one argument, and the principal complex
// square root with the complex library's branch rule. No table lookups, no calls,
// no errno; special cases are selected, not branched to.
//
// Accuracy: exp and sincos are within about one unit in the last place of the
// correctly rounded value (argument reduction by a three-part pi/2 or two-part
// ln 2, then Taylor polynomials whose truncation lies below half an ulp).
// SinCos reduces exactly only for |x| <= kSinCosLimit; beyond it (and for a
// non-finite argument) it marks the point so the caller recomputes it on the
// reference path.

#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__GNUC__)
#define KORVEL_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KORVEL_ALWAYS_INLINE inline
#endif

namespace korvel::vmath {

// Adding then subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51 to
// the nearest integer; the integer is also left in the low bits of the sum.
inline constexpr double kRoundingShift = 0x1.8p52;
inline constexpr double kSinCosLimit = 1.0e6;

// pi/2 = kHalfPi1 + kHalfPi2 + kHalfPi3; the first two have 33 significant bits,
// so n * kHalfPi1 and n * kHalfPi2 are exact for |n| < 2^20.
inline constexpr double kHalfPi1 = 0x1.921fb544p+0;
inline constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
inline constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
inline constexpr double kTwoOverPi = 0.6366197723675814;
// ln 2 = kLn2Hi + kLn2Lo; kLn2Hi has 32 significant bits.
inline constexpr double kLn2Hi = 0x1.62e42feep-1;
inline constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;
inline constexpr double kLog2E = 1.4426950408889634;

KORVEL_ALWAYS_INLINE std::int64_t BitsOf(double x) { return std::bit_cast<std::int64_t>(x); }
KORVEL_ALWAYS_INLINE double DoubleOf(std::int64_t bits) { return std::bit_cast<double>(bits); }

// e^x for every double: overflow gives +inf, underflow a subnormal or 0, NaN stays NaN.
KORVEL_ALWAYS_INLINE double Exp(double x) {
    // Beyond +-1100 the result is already inf or 0; the clamp keeps the integer part
    // small. A NaN passes both comparisons and stays NaN.
    const double clamped = x > 1100.0 ? 1100.0 : (x < -1100.0 ? -1100.0 : x);
    const double shifted = clamped * kLog2E + kRoundingShift;
    const double n = shifted - kRoundingShift;
    const double r = (clamped - n * kLn2Hi) - n * kLn2Lo;  // |r| <= ln2 / 2
    // Taylor series to r^13: the first omitted term is below 5e-18 relative.
    double p = 1.0 / 6227020800.0;
    p = p * r + 1.0 / 479001600.0;
    p = p * r + 1.0 / 39916800.0;
    p = p * r + 1.0 / 3628800.0;
    p = p * r + 1.0 / 362880.0;
    p = p * r + 1.0 / 40320.0;
    p = p * r + 1.0 / 5040.0;
    p = p * r + 1.0 / 720.0;
    p = p * r + 1.0 / 120.0;
    p = p * r + 1.0 / 24.0;
    p = p * r + 1.0 / 6.0;
    p = p * r + 0.5;
    p = p * r + 1.0;
    p = p * r + 1.0;
    // 2^n as two factors 2^h and 2^(n-h), each a normal number, so that results in
    // the subnormal range and beyond the largest double come out right.
    const std::int64_t whole = BitsOf(shifted) - BitsOf(kRoundingShift);
    const std::int64_t half = whole >> 1;
    const double scale1 = DoubleOf((half + 1023) << 52);
    const double scale2 = DoubleOf((whole - half + 1023) << 52);
    return (p * scale1) * scale2;
}

// sin x and cos x. For |x| > kSinCosLimit or a non-finite x the results are
// meaningless and `unreliable` is set to 1; otherwise it is left as it was.
KORVEL_ALWAYS_INLINE void SinCos(double x, double& sine, double& cosine, double& unreliable) {
    const bool reducible = std::fabs(x) <= kSinCosLimit;
    unreliable = reducible ? unreliable : 1.0;
    const double xr = reducible ? x : 0.0;
    const double shifted = xr * kTwoOverPi + kRoundingShift;
    const double n = shifted - kRoundingShift;
    const double r = ((xr - n * kHalfPi1) - n * kHalfPi2) - n * kHalfPi3;  // |r| <= pi/4
    const std::int64_t quadrant = (BitsOf(shifted) - BitsOf(kRoundingShift)) & 3;
    const double r2 = r * r;
    // Taylor series: sine to r^15, cosine to r^16; the first omitted terms are
    // below 5e-17 and 3e-18 at |r| = pi/4.
    double s = -1.0 / 1307674368000.0;
    s = s * r2 + 1.0 / 6227020800.0;
    s = s * r2 - 1.0 / 39916800.0;
    s = s * r2 + 1.0 / 362880.0;
    s = s * r2 - 1.0 / 5040.0;
    s = s * r2 + 1.0 / 120.0;
    s = s * r2 - 1.0 / 6.0;
    s = r + (r * r2) * s;
    double c = 1.0 / 20922789888000.0;
    c = c * r2 - 1.0 / 87178291200.0;
    c = c * r2 + 1.0 / 479001600.0;
    c = c * r2 - 1.0 / 3628800.0;
    c = c * r2 + 1.0 / 40320.0;
    c = c * r2 - 1.0 / 720.0;
    c = c * r2 + 1.0 / 24.0;
    c = c * r2 - 0.5;
    c = 1.0 + r2 * c;
    // x = r + quadrant * pi/2: sin x is s, c, -s, -c and cos x is c, -s, -c, s.
    const bool swap = (quadrant & 1) != 0;
    const double sinBase = swap ? c : s;
    const double cosBase = swap ? s : c;
    sine = (quadrant & 2) != 0 ? -sinBase : sinBase;
    cosine = ((quadrant + 1) & 2) != 0 ? -cosBase : cosBase;
}

// Principal square root of x + iy through the modulus, without cancellation: real
// part >= 0; the imaginary part is negative exactly when y < 0, so a negative real
// number gives +i sqrt|x| whatever the sign of its zero, as in the complex library.
KORVEL_ALWAYS_INLINE void PrincipalSqrt(double x, double y, double& re, double& im) {
    const double modulus = std::sqrt(x * x + y * y);
    const double large = std::sqrt((modulus + std::fabs(x)) * 0.5);
    const double quotient = std::fabs(y) / (2.0 * large);
    const double small = large == 0.0 ? 0.0 : quotient;  // sqrt(0) = 0, not 0/0
    re = x >= 0.0 ? large : small;
    const double magnitude = x >= 0.0 ? small : large;
    im = y < 0.0 ? -magnitude : magnitude;
}

}  // namespace korvel::vmath
