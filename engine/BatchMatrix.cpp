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

// A = A * H with H = [[1, r P], [r, P]], as MultiplyRight does it: each row of A
// is multiplied alone.
KORVEL_ALWAYS_INLINE void MultiplyByInterface(ComplexLanes& a11, ComplexLanes& a12,
                                              ComplexLanes& a21, ComplexLanes& a22,
                                              const ComplexLanes& r, const ComplexLanes& p) {
    RowByInterface(a11, a12, r, p);
    RowByInterface(a21, a22, r, p);
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
        RaiseToPower<false>(s, k.RepeatCount - 1);

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
