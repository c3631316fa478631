// Parratt recursion (Parratt 1954) over a block of points. Each medium's f is taken
// once per point; the bottom and top blocks are walked once, computing each
// interface as it is crossed; the repeat unit's n2 + 1 distinct interfaces and n2
// phase factors are computed once per point and reused by all N periods, so the
// walk over the periods is the recursion X = (r + X) / (1 + r X) * P alone.

#include <utility>

#include "engine/BatchBlock.h"

namespace korvel::batch {

namespace {

// X = (X + r) / (1 + r X) * P, the Parratt step; without P for the vacuum.
template <bool WithPhase>
KORVEL_ALWAYS_INLINE void Step(ComplexLanes& x, const ComplexLanes& r, const ComplexLanes& p) {
    for (int i = 0; i < kLanes; ++i) {
        const double xr = x.re.v[i];
        const double xi = x.im.v[i];
        const double rr = r.re.v[i];
        const double ri = r.im.v[i];
        const double nr = xr + rr;
        const double ni = xi + ri;
        const double dr = xr * rr - xi * ri + 1.0;
        const double di = xr * ri + xi * rr;
        const double inverse = 1.0 / (dr * dr + di * di);
        const double qr = (nr * dr + ni * di) * inverse;
        const double qi = (ni * dr - nr * di) * inverse;
        if constexpr (WithPhase) {
            x.re.v[i] = qr * p.re.v[i] - qi * p.im.v[i];
            x.im.v[i] = qr * p.im.v[i] + qi * p.re.v[i];
        } else {
            x.re.v[i] = qr;
            x.im.v[i] = qi;
        }
    }
}

// X = (n + s X) / (s + n X) * P, the Parratt step with r = n / s left unreduced
// (n = (f_u - f_l) times the roughness factor, s = f_u + f_l): one division, not two.
KORVEL_ALWAYS_INLINE void UnreducedStep(ComplexLanes& x, const ComplexLanes& n,
                                        const ComplexLanes& fUpper, const ComplexLanes& fLower,
                                        const ComplexLanes& p, bool withPhase) {
    for (int i = 0; i < kLanes; ++i) {
        const double xr = x.re.v[i], xi = x.im.v[i];
        const double nr = n.re.v[i], ni = n.im.v[i];
        const double sr = fUpper.re.v[i] + fLower.re.v[i];
        const double si = fUpper.im.v[i] + fLower.im.v[i];
        const double ar = nr + (sr * xr - si * xi);
        const double ai = ni + (sr * xi + si * xr);
        const double br = sr + (nr * xr - ni * xi);
        const double bi = si + (nr * xi + ni * xr);
        const double inverse = 1.0 / (br * br + bi * bi);
        const double qr = (ar * br + ai * bi) * inverse;
        const double qi = (ai * br - ar * bi) * inverse;
        const double pr = withPhase ? p.re.v[i] : 1.0;
        const double pi = withPhase ? p.im.v[i] : 0.0;
        x.re.v[i] = qr * pr - qi * pi;
        x.im.v[i] = qr * pi + qi * pr;
    }
}

// Walks the interfaces (j, j + 1) for j = from down to to, with s.Below holding f of
// entry from + 1; on return s.Below holds f of entry `to`.
KORVEL_ALWAYS_INLINE void Walk(const StackConstants& k, BlockScratch& s, int from, int to) {
    ComplexLanes* below = &s.Below;
    ComplexLanes* current = &s.Current;
    for (int j = from; j >= to; --j) {
        const MediumConstants& upper = k.Media[j];
        WaveVector(upper, s.CosSquared, *current);
        for (int i = 0; i < kLanes; ++i) {
            s.Coefficient.re.v[i] = current->re.v[i] - below->re.v[i];
            s.Coefficient.im.v[i] = current->im.v[i] - below->im.v[i];
        }
        ApplyRoughness(upper, k.Media[j + 1], k.RoughnessScale, s, s.Coefficient);
        if (j != 0) ParrattPhase(upper, *current, s, s.Phase);
        UnreducedStep(s.Amplitude, s.Coefficient, *current, *below, s.Phase, j != 0);
        std::swap(below, current);
    }
    if (below != &s.Below) s.Below = *below;
}

// Up to this many higher periods are walked step by step; more are composed.
constexpr int kWalkedPeriods = 3;

// A = T * A with T = [[P, r P], [r, 1]], the Parratt step as a Moebius map.
KORVEL_ALWAYS_INLINE void StepBefore(ComplexLanes& a11, ComplexLanes& a12, ComplexLanes& a21,
                                     ComplexLanes& a22, const ComplexLanes& r,
                                     const ComplexLanes& p) {
    for (int i = 0; i < kLanes; ++i) {
        const double rr = r.re.v[i], ri = r.im.v[i];
        const double pr = p.re.v[i], pi = p.im.v[i];
        const double rpr = rr * pr - ri * pi, rpi = rr * pi + ri * pr;
        const double x11r = a11.re.v[i], x11i = a11.im.v[i];
        const double x12r = a12.re.v[i], x12i = a12.im.v[i];
        const double x21r = a21.re.v[i], x21i = a21.im.v[i];
        const double x22r = a22.re.v[i], x22i = a22.im.v[i];
        a11.re.v[i] = (pr * x11r - pi * x11i) + (rpr * x21r - rpi * x21i);
        a11.im.v[i] = (pr * x11i + pi * x11r) + (rpr * x21i + rpi * x21r);
        a12.re.v[i] = (pr * x12r - pi * x12i) + (rpr * x22r - rpi * x22i);
        a12.im.v[i] = (pr * x12i + pi * x12r) + (rpr * x22i + rpi * x22r);
        a21.re.v[i] = (rr * x11r - ri * x11i) + x21r;
        a21.im.v[i] = (rr * x11i + ri * x11r) + x21i;
        a22.re.v[i] = (rr * x12r - ri * x12i) + x22r;
        a22.im.v[i] = (rr * x12i + ri * x12r) + x22i;
    }
}

// Applies `count` higher periods to s.Amplitude at once. One higher period is the
// Moebius map X -> (Q11 X + Q12) / (Q21 X + Q22) with Q the product of its step
// matrices; Q^count, up to a common factor that cancels in the map, comes from the
// Chebyshev identity (RaiseToPower): the same composition the recursion performs
// one step at a time, at a cost that does not grow with the count. Near the
// identity's singular point the lane is marked and recomputed on the reference path.
KORVEL_ALWAYS_INLINE void ComposePeriods(BlockScratch& s, int first, int last, int count,
                                         bool opaque) {
    const int n2 = last - first + 1;
    SetIdentity(s.M11, s.M12, s.M21, s.M22);
    StepBefore(s.M11, s.M12, s.M21, s.M22, s.UnitCoefficient[n2], s.UnitPhase[n2 - 1]);
    for (int j = last - 1; j >= first; --j)
        StepBefore(s.M11, s.M12, s.M21, s.M22, s.UnitCoefficient[j - first],
                   s.UnitPhase[j - first]);
    // A period with an opaque layer has determinant 0 and its own power.
    if (opaque)
        RaiseToPower<true>(s, count);
    else
        RaiseToPower<false>(s, count);
    for (int i = 0; i < kLanes; ++i) {
        const double xr = s.Amplitude.re.v[i], xi = s.Amplitude.im.v[i];
        const double nr = (s.M11.re.v[i] * xr - s.M11.im.v[i] * xi) + s.M12.re.v[i];
        const double ni = (s.M11.re.v[i] * xi + s.M11.im.v[i] * xr) + s.M12.im.v[i];
        const double dr = (s.M21.re.v[i] * xr - s.M21.im.v[i] * xi) + s.M22.re.v[i];
        const double di = (s.M21.re.v[i] * xi + s.M21.im.v[i] * xr) + s.M22.im.v[i];
        const double inverse = 1.0 / (dr * dr + di * di);
        s.Amplitude.re.v[i] = (nr * dr + ni * di) * inverse;
        s.Amplitude.im.v[i] = (ni * dr - nr * di) * inverse;
    }
}

}  // namespace

KORVEL_VECTOR_CLONES
void ParrattBlock(const StackConstants& k, BlockScratch& s) {
    const int n1 = k.Top;
    const int n2 = k.Unit;
    const int layers = k.Layers();
    for (int i = 0; i < kLanes; ++i) {
        s.SinSquared.v[i] = 1.0 - s.CosSquared.v[i];
        s.Unreliable.v[i] = 0.0;
        s.Amplitude.re.v[i] = 0.0;
        s.Amplitude.im.v[i] = 0.0;
    }
    WaveVector(k.Media[layers + 1], s.CosSquared, s.Below);

    if (n2 == 0 || k.RepeatCount < 2) {
        Walk(k, s, layers, 0);
    } else {
        // Bottom block, leaving f of the entry under the unit in s.Below.
        Walk(k, s, layers, n1 + n2 + 1);

        // The unit's f and phase factors, its n2 - 1 internal interfaces, the lowest
        // period's last layer over the entry below the unit, and the joining
        // interface of each higher period (last layer over the unit's first).
        const int first = n1 + 1;
        const int last = n1 + n2;
        for (int j = first; j <= last; ++j) {
            WaveVector(k.Media[j], s.CosSquared, s.UnitWave[j - first]);
            ParrattPhase(k.Media[j], s.UnitWave[j - first], s, s.UnitPhase[j - first]);
        }
        for (int j = first; j < last; ++j)
            InterfaceCoefficient(k.Media[j], k.Media[j + 1], s.UnitWave[j - first],
                                 s.UnitWave[j + 1 - first], k.RoughnessScale, s,
                                 s.UnitCoefficient[j - first]);
        ComplexLanes& lowest = s.UnitCoefficient[n2 - 1];
        ComplexLanes& joining = s.UnitCoefficient[n2];
        InterfaceCoefficient(k.Media[last], k.Media[last + 1], s.UnitWave[n2 - 1], s.Below,
                             k.RoughnessScale, s, lowest);
        InterfaceCoefficient(k.Media[last], k.Media[first], s.UnitWave[n2 - 1], s.UnitWave[0],
                             k.RoughnessScale, s, joining);

        // The lowest period, then the N - 1 periods above it.
        Step<true>(s.Amplitude, lowest, s.UnitPhase[n2 - 1]);
        for (int j = last - 1; j >= first; --j)
            Step<true>(s.Amplitude, s.UnitCoefficient[j - first], s.UnitPhase[j - first]);
        const int higher = k.RepeatCount - 1;
        if (higher <= kWalkedPeriods) {
            for (int period = 0; period < higher; ++period) {
                Step<true>(s.Amplitude, joining, s.UnitPhase[n2 - 1]);
                for (int j = last - 1; j >= first; --j)
                    Step<true>(s.Amplitude, s.UnitCoefficient[j - first], s.UnitPhase[j - first]);
            }
        } else {
            ComposePeriods(s, first, last, higher, k.OpaqueUnit);
        }

        s.Below = s.UnitWave[0];
        Walk(k, s, n1, 0);
    }

    for (int i = 0; i < kLanes; ++i) {
        const double xr = s.Amplitude.re.v[i];
        const double xi = s.Amplitude.im.v[i];
        s.Reflectivity.v[i] = xr * xr + xi * xi;
    }
}

}  // namespace korvel::batch
