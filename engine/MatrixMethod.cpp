// Transfer-matrix reflectivity, R = |G12 / G11|^2 of the product of the interface
// matrices from the substrate up. The product of one period is normalised to
// determinant 1 and raised to the power N - 1 with Chebyshev polynomials of the
// second kind, U_k(cos phi) = sin((k + 1) phi) / sin phi; every scalar factor common
// to the whole product (the normalisation, the i of CSinhI, the sign of sin phi)
// cancels in the ratio.

#include "engine/MatrixMethod.h"

#include <algorithm>
#include <cmath>

#include "engine/OpticalStack.h"

namespace korvel {

namespace {

Complex Scaled(const Complex& z, double factor) { return {z.Re * factor, z.Im * factor}; }

double ReflectivityOf(const Matrix2& g) {
    const Complex q = CDiv(g.G12, g.G11);
    return q.Re * q.Re + q.Im * q.Im;
}

bool IsFinite(const Complex& z) { return std::isfinite(z.Re) && std::isfinite(z.Im); }

bool IsFinite(const Matrix2& m) {
    return IsFinite(m.G11) && IsFinite(m.G12) && IsFinite(m.G21) && IsFinite(m.G22);
}

// An angle phi with cos(phi) = x. CArcCos takes -i ln(x + s), s = sqrt(x^2 - 1); when
// x and s nearly cancel (a strongly attenuating period, |x| >> 1 on the negative
// side) the other root gives -i ln(x - s) = -arccos(x) without the cancellation.
// The sign of phi flips both Chebyshev quotients alike and so cancels.
Complex PeriodAngle(const Complex& x) {
    Complex w = CSqr(x);
    w.Re = w.Re - 1.0;
    const Complex s = CSqrt(w);
    const Complex minus = CSub(x, s);
    if (CAbs(minus) <= CAbs(CAdd(x, s))) return CArcCos(x);
    const Complex logarithm = CLn(minus);
    return {logarithm.Im, -logarithm.Re};
}

// The closed form: M / sqrt(det M) has half trace x = cos(phi), and
// (M / sqrt(det M))^m = U_(m-1)(x) M - U_(m-2)(x) I. Returns false when the closed
// form does not give finite numbers (a period of determinant 0, or quotients beyond
// the range of doubles for an opaque period repeated many times).
bool ChebyshevPower(Matrix2& m, int power) {
    const Complex s = CSqrt(CSub(CMul(m.G11, m.G22), CMul(m.G12, m.G21)));
    m.G11 = CDiv(m.G11, s);
    m.G12 = CDiv(m.G12, s);
    m.G21 = CDiv(m.G21, s);
    m.G22 = CDiv(m.G22, s);
    if (!IsFinite(m)) return false;

    const Complex x{(m.G11.Re + m.G22.Re) / 2.0, (m.G11.Im + m.G22.Im) / 2.0};
    Complex w = CSqr(x);
    w = {1.0 - w.Re, -w.Im};
    const Complex sinPhi = CSqrt(w);

    Complex a1;  // i U_(power-1)(x)
    Complex a2;  // i U_(power-2)(x)
    if (sinPhi.Re == 0.0 && sinPhi.Im == 0.0) {
        // x = +1 or -1: the quotients take their limits U_k(1) = k + 1 and
        // U_k(-1) = (-1)^k (k + 1).
        const bool negative = x.Re < 0.0;
        const double u1 = power;
        const double u2 = power - 1;
        const double sign1 = (negative && (power - 1) % 2 != 0) ? -1.0 : 1.0;
        const double sign2 = (negative && (power - 2) % 2 != 0) ? -1.0 : 1.0;
        a1 = {0.0, sign1 * u1};
        a2 = {0.0, sign2 * u2};
    } else {
        const Complex phi = PeriodAngle(x);
        a1 = CDiv(CSinhI(Scaled(phi, power)), sinPhi);
        a2 = CDiv(CSinhI(Scaled(phi, power - 1)), sinPhi);
    }
    if (!IsFinite(a1) || !IsFinite(a2)) return false;

    m.G11 = CSub(CMul(m.G11, a1), a2);
    m.G12 = CMul(m.G12, a1);
    m.G21 = CMul(m.G21, a1);
    m.G22 = CSub(CMul(m.G22, a1), a2);
    return IsFinite(m);
}

// Divides all four elements by their largest component (a common positive factor).
// Components rather than moduli: a modulus near the top of the range would overflow.
void Rescale(Matrix2& m) {
    double largest = 0.0;
    for (const Complex* z : {&m.G11, &m.G12, &m.G21, &m.G22})
        largest = std::max({largest, std::fabs(z->Re), std::fabs(z->Im)});
    if (largest == 0.0 || !std::isfinite(largest)) return;
    for (Complex* z : {&m.G11, &m.G12, &m.G21, &m.G22}) *z = Scaled(*z, 1.0 / largest);
}

// M^power up to a positive factor by repeated squaring, rescaled at every step so
// that an opaque period neither overflows nor underflows; about log2(power) products.
void PowerBySquaring(Matrix2& m, int power) {
    Matrix2 result;
    Matrix2 base = m;
    Rescale(base);
    for (int remaining = power; remaining > 0; remaining /= 2) {
        if (remaining % 2 != 0) {
            MultiplyRight(result, base);
            Rescale(result);
        }
        if (remaining > 1) {
            const Matrix2 factor = base;
            MultiplyRight(base, factor);
            Rescale(base);
        }
    }
    m = result;
}

}  // namespace

void RaiseToPower(Matrix2& m, int power) {
    const Matrix2 period = m;
    if (ChebyshevPower(m, power)) {
        // An opaque period gives elements near the end of the double range; the
        // common factor is free, so bring them back to order 1 before further products.
        Rescale(m);
        return;
    }
    m = period;
    PowerBySquaring(m, power);
}

Matrix2 InterfaceMatrix(const EvaluationContext& context, int upper, int lower, double c2) {
    const Complex r = InterfaceCoefficient(context, upper, lower, c2);
    const Complex f = WaveVectorComponent(context.Index(upper), c2);
    const double k = context.WaveNumber;
    const double d = context.LayerStack[upper].Thickness;
    const Complex phase = CExp({2.0 * k * d * f.Im, -2.0 * k * d * f.Re});
    Matrix2 h;
    h.G11 = CMake(1.0);
    h.G12 = CMul(r, phase);
    h.G21 = r;
    h.G22 = phase;
    return h;
}

void MultiplyRight(Matrix2& g, const Matrix2& h) {
    const Matrix2 old = g;
    g.G11 = CAdd(CMul(old.G11, h.G11), CMul(old.G12, h.G21));
    g.G12 = CAdd(CMul(old.G11, h.G12), CMul(old.G12, h.G22));
    g.G21 = CAdd(CMul(old.G21, h.G11), CMul(old.G22, h.G21));
    g.G22 = CAdd(CMul(old.G21, h.G12), CMul(old.G22, h.G22));
}

double MatrixReflectivity(const EvaluationContext& context, double c2) {
    const int n1 = context.TopLayerCount;
    const int n2 = context.RepeatUnitLayerCount;
    const int layers = context.FilmLayerCount();
    const int repeats = context.RepeatCount;

    Matrix2 g;
    if (repeats < 2 || n2 == 0) {
        for (int j = layers; j >= 0; --j) MultiplyRight(g, InterfaceMatrix(context, j, j + 1, c2));
        return ReflectivityOf(g);
    }

    // Bottom block and the lowest period's last layer over the entry below the unit.
    for (int j = layers; j >= n1 + n2; --j)
        MultiplyRight(g, InterfaceMatrix(context, j, j + 1, c2));

    // V: one period without its last layer. M = V * H_J, the period joined to the next.
    Matrix2 v;
    for (int j = n1 + n2 - 1; j >= n1 + 1; --j)
        MultiplyRight(v, InterfaceMatrix(context, j, j + 1, c2));
    Matrix2 m = v;
    MultiplyRight(m, InterfaceMatrix(context, n1 + n2, n1 + 1, c2));
    RaiseToPower(m, repeats - 1);

    // Bottom * (V H_J)^(N-1) * V * Top: the unit written out N times.
    MultiplyRight(g, m);
    MultiplyRight(g, v);
    for (int j = n1; j >= 0; --j) MultiplyRight(g, InterfaceMatrix(context, j, j + 1, c2));
    return ReflectivityOf(g);
}

}  // namespace korvel
