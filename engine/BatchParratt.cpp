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

// Walks the interfaces (j, j + 1) for j = from down to to, with s.Below holding f of
// entry from + 1; on return s.Below holds f of entry `to`.
KORVEL_ALWAYS_INLINE void Walk(const StackConstants& k, BlockScratch& s, int from, int to) {
    ComplexLanes* below = &s.Below;
    ComplexLanes* current = &s.Current;
    for (int j = from; j >= to; --j) {
        const MediumConstants& upper = k.Media[j];
        WaveVector(upper, s.CosSquared, *current);
        InterfaceCoefficient(upper, k.Media[j + 1], *current, *below, k.RoughnessScale, s,
                             s.Coefficient);
        if (j == 0) {
            Step<false>(s.Amplitude, s.Coefficient, s.Phase);
        } else {
            ParrattPhase(upper, *current, s, s.Phase);
            Step<true>(s.Amplitude, s.Coefficient, s.Phase);
        }
        std::swap(below, current);
    }
    if (below != &s.Below) s.Below = *below;
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

        for (int period = 1; period <= k.RepeatCount; ++period) {
            Step<true>(s.Amplitude, period == 1 ? lowest : joining, s.UnitPhase[n2 - 1]);
            for (int j = last - 1; j >= first; --j)
                Step<true>(s.Amplitude, s.UnitCoefficient[j - first], s.UnitPhase[j - first]);
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
