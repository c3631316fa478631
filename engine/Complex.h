#pragma once
// Complib: the complex numbers of the reflectivity engine. A plain value type of
// two doubles and free functions. The branch rules of CArg and CSqrt are part of
// the contract (they pick the root the optics takes for every wave-vector
// component) and are kept exactly; CDiv and CAbs are unscaled and unguarded, so a
// zero divisor yields a non-finite result that the curve evaluation reports.

namespace korvel {

struct Complex {
    double Re = 0.0;
    double Im = 0.0;
};

inline constexpr Complex ImaginaryUnit{0.0, 1.0};

Complex CAdd(const Complex& a, const Complex& b);
Complex CSub(const Complex& a, const Complex& b);
Complex CMul(const Complex& a, const Complex& b);
// a / b through the squared modulus of b; no guard against b = 0.
Complex CDiv(const Complex& a, const Complex& b);
Complex CMake(double x);
Complex CExp(const Complex& z);
Complex CSqr(const Complex& z);
double CAbs(const Complex& z);
// Argument in (-pi, pi]; a zero of either sign counts as 0, so a negative real has +pi.
double CArg(const Complex& z);
// Principal root through modulus and argument: real part >= 0, imaginary part with
// the sign of z.Im, and +i*sqrt|z| for a negative real z whatever the sign of its zero.
Complex CSqrt(const Complex& z);
Complex CLn(const Complex& z);
// -i * ln(z + sqrt(z^2 - 1)).
Complex CArcCos(const Complex& z);
// sinh(i*z) = i * sin(z).
Complex CSinhI(const Complex& z);

}  // namespace korvel
