// Transfer-matrix reflectivity over a block of points: the product of the interface
// matrices H = [[1, r P], [r, P]] from the substrate up, R = |G12 / G11|^2. The
// repeat unit's period matrix, normalised to determinant 1, is raised to the power
// m = N - 1 by the Chebyshev identity M^m = U_(m-1)(x) M - U_(m-2)(x) I, with x the
// half trace. U_(k-1)(x) = (l^k - l^-k) / (l - 1/l) for the eigenvalue l = x + i S,
// S = sqrt(1 - x^2); the integer powers of l and 1/l are formed by repeated squaring
// and the common factor 1 / (l - 1/l) is dropped, since every scalar common to the
// whole product cancels in G12 / G11. The Chebyshev polynomial has no branch, so this
// agrees with the arc-cosine form of the reference for either root S. Near S = 0 (a
// period matrix close to +-I) and where the powers grow towards overflow the point is
// marked for the reference path.

#include <utility>

#include "engine/BatchBlock.h"

namespace korvel::batch {

namespace {

constexpr double kSmallestSinSquared = 1e-8;  // |S|^2 below this: reference path
constexpr double kLargestPowerSquared = 1e200;

// A = A * H with H = [[1, r P], [r, P]], as MultiplyRight does it.
KORVEL_ALWAYS_INLINE void MultiplyByInterface(ComplexLanes& a11, ComplexLanes& a12,
                                              ComplexLanes& a21, ComplexLanes& a22,
                                              const ComplexLanes& r, const ComplexLanes& p) {
    for (int i = 0; i < kLanes; ++i) {
        const double rr = r.re.v[i], ri = r.im.v[i];
        const double pr = p.re.v[i], pi = p.im.v[i];
        const double rpr = rr * pr - ri * pi;
        const double rpi = rr * pi + ri * pr;
        const double g11r = a11.re.v[i], g11i = a11.im.v[i];
        const double g12r = a12.re.v[i], g12i = a12.im.v[i];
        const double g21r = a21.re.v[i], g21i = a21.im.v[i];
        const double g22r = a22.re.v[i], g22i = a22.im.v[i];
        a11.re.v[i] = g11r + (g12r * rr - g12i * ri);
        a11.im.v[i] = g11i + (g12r * ri + g12i * rr);
        a12.re.v[i] = (g11r * rpr - g11i * rpi) + (g12r * pr - g12i * pi);
        a12.im.v[i] = (g11r * rpi + g11i * rpr) + (g12r * pi + g12i * pr);
        a21.re.v[i] = g21r + (g22r * rr - g22i * ri);
        a21.im.v[i] = g21i + (g22r * ri + g22i * rr);
        a22.re.v[i] = (g21r * rpr - g21i * rpi) + (g22r * pr - g22i * pi);
        a22.im.v[i] = (g21r * rpi + g21i * rpr) + (g22r * pi + g22i * pr);
    }
}

// The first row of G times H: R = |G12 / G11|^2 needs only that row, and every
// factor multiplies G from the right, so the second row is never formed.
KORVEL_ALWAYS_INLINE void RowByInterface(ComplexLanes& a11, ComplexLanes& a12,
                                         const ComplexLanes& r, const ComplexLanes& p) {
    for (int i = 0; i < kLanes; ++i) {
        const double rr = r.re.v[i], ri = r.im.v[i];
        const double pr = p.re.v[i], pi = p.im.v[i];
        const double rpr = rr * pr - ri * pi;
        const double rpi = rr * pi + ri * pr;
        const double g11r = a11.re.v[i], g11i = a11.im.v[i];
        const double g12r = a12.re.v[i], g12i = a12.im.v[i];
        a11.re.v[i] = g11r + (g12r * rr - g12i * ri);
        a11.im.v[i] = g11i + (g12r * ri + g12i * rr);
        a12.re.v[i] = (g11r * rpr - g11i * rpi) + (g12r * pr - g12i * pi);
        a12.im.v[i] = (g11r * rpi + g11i * rpr) + (g12r * pi + g12i * pr);
    }
}

// The first row of G times a full matrix B.
KORVEL_ALWAYS_INLINE void RowByMatrix(ComplexLanes& a11, ComplexLanes& a12, const ComplexLanes& b11,
                                      const ComplexLanes& b12, const ComplexLanes& b21,
                                      const ComplexLanes& b22) {
    for (int i = 0; i < kLanes; ++i) {
        const double x11r = a11.re.v[i], x11i = a11.im.v[i];
        const double x12r = a12.re.v[i], x12i = a12.im.v[i];
        const double y11r = b11.re.v[i], y11i = b11.im.v[i];
        const double y12r = b12.re.v[i], y12i = b12.im.v[i];
        const double y21r = b21.re.v[i], y21i = b21.im.v[i];
        const double y22r = b22.re.v[i], y22i = b22.im.v[i];
        a11.re.v[i] = (x11r * y11r - x11i * y11i) + (x12r * y21r - x12i * y21i);
        a11.im.v[i] = (x11r * y11i + x11i * y11r) + (x12r * y21i + x12i * y21r);
        a12.re.v[i] = (x11r * y12r - x11i * y12i) + (x12r * y22r - x12i * y22i);
        a12.im.v[i] = (x11r * y12i + x11i * y12r) + (x12r * y22i + x12i * y22r);
    }
}

// Walks the interfaces (j, j + 1) for j = from down to to into G, with s.Below
// holding f of entry from + 1; on return s.Below holds f of entry `to`.
KORVEL_ALWAYS_INLINE void Walk(const StackConstants& k, BlockScratch& s, int from, int to) {
    ComplexLanes* below = &s.Below;
    ComplexLanes* current = &s.Current;
    for (int j = from; j >= to; --j) {
        const MediumConstants& upper = k.Media[j];
        WaveVector(upper, s.CosSquared, *current);
        InterfaceCoefficient(upper, k.Media[j + 1], *current, *below, k.RoughnessScale, s,
                             s.Coefficient);
        MatrixPhase(upper, *current, s, s.Phase);
        RowByInterface(s.G11, s.G12, s.Coefficient, s.Phase);
        std::swap(below, current);
    }
    if (below != &s.Below) s.Below = *below;
}

// t = t * u on every lane.
KORVEL_ALWAYS_INLINE void MultiplyComplex(ComplexLanes& t, const ComplexLanes& u) {
    for (int i = 0; i < kLanes; ++i) {
        const double tr = t.re.v[i], ti = t.im.v[i];
        const double ur = u.re.v[i], ui = u.im.v[i];  // u may be t itself
        t.re.v[i] = tr * ur - ti * ui;
        t.im.v[i] = tr * ui + ti * ur;
    }
}

// M (in s.M..) becomes, up to a factor common to its four elements, M^power.
KORVEL_ALWAYS_INLINE void RaiseToPower(BlockScratch& s, int power) {
    // Normalise to determinant 1 and form the eigenvalues x +- i S.
    for (int i = 0; i < kLanes; ++i) {
        const double m11r = s.M11.re.v[i], m11i = s.M11.im.v[i];
        const double m12r = s.M12.re.v[i], m12i = s.M12.im.v[i];
        const double m21r = s.M21.re.v[i], m21i = s.M21.im.v[i];
        const double m22r = s.M22.re.v[i], m22i = s.M22.im.v[i];
        const double detr = (m11r * m22r - m11i * m22i) - (m12r * m21r - m12i * m21i);
        const double deti = (m11r * m22i + m11i * m22r) - (m12r * m21i + m12i * m21r);
        double sr, si;
        vmath::PrincipalSqrt(detr, deti, sr, si);
        const double inverse = 1.0 / (sr * sr + si * si);
        const double ur = sr * inverse;  // 1/s = conj(s) / |s|^2
        const double ui = -si * inverse;
        const double n11r = m11r * ur - m11i * ui, n11i = m11r * ui + m11i * ur;
        const double n22r = m22r * ur - m22i * ui, n22i = m22r * ui + m22i * ur;
        s.M11.re.v[i] = n11r;
        s.M11.im.v[i] = n11i;
        s.M12.re.v[i] = m12r * ur - m12i * ui;
        s.M12.im.v[i] = m12r * ui + m12i * ur;
        s.M21.re.v[i] = m21r * ur - m21i * ui;
        s.M21.im.v[i] = m21r * ui + m21i * ur;
        s.M22.re.v[i] = n22r;
        s.M22.im.v[i] = n22i;
        const double xr = (n11r + n22r) / 2.0;
        const double xi = (n11i + n22i) / 2.0;
        double sinr, sini;
        vmath::PrincipalSqrt(1.0 - (xr * xr - xi * xi), -(2.0 * xr * xi), sinr, sini);
        const bool nearIdentity = !(sinr * sinr + sini * sini >= kSmallestSinSquared);
        s.Unreliable.v[i] = nearIdentity ? 1.0 : s.Unreliable.v[i];
        s.Eigen1.re.v[i] = xr - sini;  // l = x + i S
        s.Eigen1.im.v[i] = xi + sinr;
        s.Eigen2.re.v[i] = xr + sini;  // 1/l = x - i S
        s.Eigen2.im.v[i] = xi - sinr;
        s.Base1.re.v[i] = s.Eigen1.re.v[i];
        s.Base1.im.v[i] = s.Eigen1.im.v[i];
        s.Base2.re.v[i] = s.Eigen2.re.v[i];
        s.Base2.im.v[i] = s.Eigen2.im.v[i];
        s.Power1.re.v[i] = 1.0;
        s.Power1.im.v[i] = 0.0;
        s.Power2.re.v[i] = 1.0;
        s.Power2.im.v[i] = 0.0;
    }
    // Power1 = l^(power-1), Power2 = l^-(power-1), by repeated squaring.
    for (int e = power - 1; e > 0; e >>= 1) {
        if (e & 1) {
            MultiplyComplex(s.Power1, s.Base1);
            MultiplyComplex(s.Power2, s.Base2);
        }
        if (e > 1) {
            MultiplyComplex(s.Base1, s.Base1);
            MultiplyComplex(s.Base2, s.Base2);
        }
    }
    // a1 = l^power - l^-power and a2 = l^(power-1) - l^-(power-1), both times the
    // dropped factor; M = a1 M - a2 I.
    for (int i = 0; i < kLanes; ++i) {
        const double p1r = s.Power1.re.v[i], p1i = s.Power1.im.v[i];
        const double p2r = s.Power2.re.v[i], p2i = s.Power2.im.v[i];
        const double e1r = s.Eigen1.re.v[i], e1i = s.Eigen1.im.v[i];
        const double e2r = s.Eigen2.re.v[i], e2i = s.Eigen2.im.v[i];
        const double q1r = p1r * e1r - p1i * e1i, q1i = p1r * e1i + p1i * e1r;
        const double q2r = p2r * e2r - p2i * e2i, q2i = p2r * e2i + p2i * e2r;
        const double size = (q1r * q1r + q1i * q1i) + (q2r * q2r + q2i * q2i);
        const bool huge = !(size <= kLargestPowerSquared);
        s.Unreliable.v[i] = huge ? 1.0 : s.Unreliable.v[i];
        const double a1r = q1r - q2r, a1i = q1i - q2i;
        const double a2r = p1r - p2r, a2i = p1i - p2i;
        const double m11r = s.M11.re.v[i], m11i = s.M11.im.v[i];
        const double m12r = s.M12.re.v[i], m12i = s.M12.im.v[i];
        const double m21r = s.M21.re.v[i], m21i = s.M21.im.v[i];
        const double m22r = s.M22.re.v[i], m22i = s.M22.im.v[i];
        s.M11.re.v[i] = (m11r * a1r - m11i * a1i) - a2r;
        s.M11.im.v[i] = (m11r * a1i + m11i * a1r) - a2i;
        s.M12.re.v[i] = m12r * a1r - m12i * a1i;
        s.M12.im.v[i] = m12r * a1i + m12i * a1r;
        s.M21.re.v[i] = m21r * a1r - m21i * a1i;
        s.M21.im.v[i] = m21r * a1i + m21i * a1r;
        s.M22.re.v[i] = (m22r * a1r - m22i * a1i) - a2r;
        s.M22.im.v[i] = (m22r * a1i + m22i * a1r) - a2i;
    }
}

}  // namespace

KORVEL_VECTOR_CLONES
void MatrixBlock(const StackConstants& k, BlockScratch& s) {
    const int n1 = k.Top;
    const int n2 = k.Unit;
    const int layers = k.Layers();
    for (int i = 0; i < kLanes; ++i) {
        s.SinSquared.v[i] = 1.0 - s.CosSquared.v[i];
        s.Unreliable.v[i] = 0.0;
    }
    for (int i = 0; i < kLanes; ++i) {
        s.G11.re.v[i] = 1.0;
        s.G11.im.v[i] = 0.0;
        s.G12.re.v[i] = 0.0;
        s.G12.im.v[i] = 0.0;
    }
    WaveVector(k.Media[layers + 1], s.CosSquared, s.Below);

    if (n2 == 0 || k.RepeatCount < 2) {
        Walk(k, s, layers, 0);
    } else {
        Walk(k, s, layers, n1 + n2 + 1);
        const int first = n1 + 1;
        const int last = n1 + n2;
        for (int j = first; j <= last; ++j) {
            WaveVector(k.Media[j], s.CosSquared, s.UnitWave[j - first]);
            MatrixPhase(k.Media[j], s.UnitWave[j - first], s, s.UnitPhase[j - first]);
        }
        const ComplexLanes& lastPhase = s.UnitPhase[n2 - 1];

        // The lowest period's last layer over the entry below the unit.
        InterfaceCoefficient(k.Media[last], k.Media[last + 1], s.UnitWave[n2 - 1], s.Below,
                             k.RoughnessScale, s, s.Coefficient);
        RowByInterface(s.G11, s.G12, s.Coefficient, lastPhase);

        // V: one period without its last layer; M = V * H_J with the joining interface.
        SetIdentity(s.V11, s.V12, s.V21, s.V22);
        for (int j = last - 1; j >= first; --j) {
            InterfaceCoefficient(k.Media[j], k.Media[j + 1], s.UnitWave[j - first],
                                 s.UnitWave[j + 1 - first], k.RoughnessScale, s, s.Coefficient);
            MultiplyByInterface(s.V11, s.V12, s.V21, s.V22, s.Coefficient, s.UnitPhase[j - first]);
        }
        s.M11 = s.V11;
        s.M12 = s.V12;
        s.M21 = s.V21;
        s.M22 = s.V22;
        InterfaceCoefficient(k.Media[last], k.Media[first], s.UnitWave[n2 - 1], s.UnitWave[0],
                             k.RoughnessScale, s, s.Coefficient);
        MultiplyByInterface(s.M11, s.M12, s.M21, s.M22, s.Coefficient, lastPhase);
        RaiseToPower(s, k.RepeatCount - 1);

        // Bottom * (V H_J)^(N-1) * V * Top.
        RowByMatrix(s.G11, s.G12, s.M11, s.M12, s.M21, s.M22);
        RowByMatrix(s.G11, s.G12, s.V11, s.V12, s.V21, s.V22);
        s.Below = s.UnitWave[0];
        Walk(k, s, n1, 0);
    }

    for (int i = 0; i < kLanes; ++i) {
        const double ar = s.G12.re.v[i], ai = s.G12.im.v[i];
        const double br = s.G11.re.v[i], bi = s.G11.im.v[i];
        const double d = br * br + bi * bi;
        const double qr = (ar * br + ai * bi) / d;
        const double qi = (ai * br - ar * bi) / d;
        s.Reflectivity.v[i] = qr * qr + qi * qi;
    }
}

}  // namespace korvel::batch
