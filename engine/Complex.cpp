// Complib: complex arithmetic with the argument and square-root branches the
// optics relies on. Every operation reads its inputs completely before it
// builds the result, so a result may replace one of its inputs.

#include "engine/Complex.h"

#include <cmath>

namespace korvel {

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
// Arguments this large cannot be reduced to a period; cos and sin give 0 there.
constexpr double kUnreducible = 9223372036854775808.0;  // 2^63

double ReducibleCos(double x) { return std::fabs(x) >= kUnreducible ? 0.0 : std::cos(x); }
double ReducibleSin(double x) { return std::fabs(x) >= kUnreducible ? 0.0 : std::sin(x); }

}  // namespace

Complex CAdd(const Complex& a, const Complex& b) { return {a.Re + b.Re, a.Im + b.Im}; }

Complex CSub(const Complex& a, const Complex& b) { return {a.Re - b.Re, a.Im - b.Im}; }

Complex CMul(const Complex& a, const Complex& b) {
    return {a.Re * b.Re - a.Im * b.Im, a.Re * b.Im + a.Im * b.Re};
}

Complex CDiv(const Complex& a, const Complex& b) {
    const double d = b.Re * b.Re + b.Im * b.Im;
    return {(a.Re * b.Re + a.Im * b.Im) / d, (a.Im * b.Re - a.Re * b.Im) / d};
}

Complex CMake(double x) { return {x, 0.0}; }

Complex CExp(const Complex& z) {
    const double magnitude = std::exp(z.Re);
    return {magnitude * ReducibleCos(z.Im), magnitude * ReducibleSin(z.Im)};
}

Complex CSqr(const Complex& z) { return {z.Re * z.Re - z.Im * z.Im, 2.0 * z.Re * z.Im}; }

double CAbs(const Complex& z) { return std::sqrt(z.Re * z.Re + z.Im * z.Im); }

double CArg(const Complex& z) {
    const double x = z.Re;
    const double y = z.Im;
    if (x == 0.0 && y > 0.0) return kHalfPi;
    if (x == 0.0 && y < 0.0) return -kHalfPi;
    if (y == 0.0 && x < 0.0) return kPi;
    if (y == 0.0 && x >= 0.0) return 0.0;
    if (x < 0.0 && y > 0.0) return std::atan(y / x) + kPi;
    if (x < 0.0 && y < 0.0) return std::atan(y / x) - kPi;
    return std::atan(y / x);
}

Complex CSqrt(const Complex& z) {
    const double r = std::sqrt(CAbs(z));
    const double phi = CArg(z) / 2.0;
    return CMul(CMake(r), CExp(CMul(ImaginaryUnit, CMake(phi))));
}

Complex CLn(const Complex& z) { return {std::log(CAbs(z)), CArg(z)}; }

Complex CArcCos(const Complex& z) {
    Complex w = CSqr(z);
    w.Re = w.Re - 1.0;
    const Complex s = CSqrt(w);
    const Complex t = CAdd(z, s);
    const Complex logarithm = CLn(t);
    return {logarithm.Im, -logarithm.Re};
}

Complex CSinhI(const Complex& z) {
    const Complex plus{-z.Im, z.Re};   // i*z
    const Complex minus{z.Im, -z.Re};  // -i*z
    const Complex difference = CSub(CExp(plus), CExp(minus));
    return {difference.Re / 2.0, difference.Im / 2.0};
}

}  // namespace korvel
