// Kinematic (Fourier) reflectivity over a block of points. The depths of all steps
// of the delta profile and their weights are fixed per evaluation; per point each
// distinct depth's sine and cosine is taken once (a boundary shared by two layers
// serves both), and each distinct roughness's Gaussian damping once. The N periods
// are summed in closed form. Where the closed form's denominator 2 (1 - cos u) is so
// small that its rounding would dominate (a multilayer Bragg peak), the point is
// marked for the reference path, which then gives exactly the reference value.

#include <cmath>

#include "engine/BatchBlock.h"

namespace korvel::batch {

namespace {

constexpr double kSmallestDenominator = 1e-4;

// Adds the layer terms of one block of layers, whose boundaries lie at `depths`.
KORVEL_ALWAYS_INLINE void AddLayers(const std::vector<double>& depths,
                                    const std::vector<FourierStep>& steps, const Lanes& qr,
                                    BlockScratch& s, ComplexLanes& sum) {
    const int count = static_cast<int>(steps.size());
    if (count == 0) return;
    ComplexLanes& upper = s.Below;  // (cos, sin) at the top of the current layer
    for (int i = 0; i < kLanes; ++i)
        vmath::SinCos(qr.v[i] * depths[0], upper.im.v[i], upper.re.v[i], s.Unreliable.v[i]);
    for (int l = 0; l < count; ++l) {
        const double z = depths[l + 1];
        const double delta = steps[l].Delta;
        const Lanes* damping = steps[l].Damping >= 0 ? &s.Damping[steps[l].Damping] : nullptr;
        for (int i = 0; i < kLanes; ++i) {
            double sine, cosine;
            vmath::SinCos(qr.v[i] * z, sine, cosine, s.Unreliable.v[i]);
            const double weight = damping != nullptr ? delta * damping->v[i] : delta;
            sum.re.v[i] += (upper.re.v[i] - cosine) * weight;
            sum.im.v[i] += (upper.im.v[i] - sine) * weight;
            upper.re.v[i] = cosine;
            upper.im.v[i] = sine;
        }
    }
}

}  // namespace

KORVEL_VECTOR_CLONES
void FourierBlock(const StackConstants& k, BlockScratch& s) {
    const FourierBlockConstants& f = k.Fourier;
    const double q = f.FourPiOverLambda;
    const double wave = f.WaveNumber;
    Lanes& qr = s.SinSquared;  // reused: the refracted momentum transfer
    Lanes& normalisation = s.Reflectivity;
    Lanes& gaussian = s.Current.re;
    for (int i = 0; i < kLanes; ++i) {
        const double c2 = s.CosSquared.v[i];
        const double qz = -q * std::sqrt(1.0 - c2);
        qr.v[i] = -q * std::sqrt(1.0 - c2 - 2.0 * f.MeanDelta);
        normalisation.v[i] = f.K4 / (qz * qz);
        gaussian.v[i] = -2.0 * wave * wave * (1.0 - c2);
        s.Unreliable.v[i] = 0.0;
    }
    for (std::size_t d = 0; d < f.Roughness.size(); ++d) {
        const double sigma = f.Roughness[d];
        for (int i = 0; i < kLanes; ++i)
            s.Damping[d].v[i] = vmath::Exp(gaussian.v[i] * sigma * sigma);
    }

    ComplexLanes& sum = s.Amplitude;
    {
        const double delta = f.Substrate.Delta;
        const Lanes* damping = f.Substrate.Damping >= 0 ? &s.Damping[f.Substrate.Damping] : nullptr;
        for (int i = 0; i < kLanes; ++i) {
            double sine, cosine;
            vmath::SinCos(f.TotalThickness * qr.v[i], sine, cosine, s.Unreliable.v[i]);
            const double weight = damping != nullptr ? delta * damping->v[i] : delta;
            sum.re.v[i] = cosine * weight;
            sum.im.v[i] = sine * weight;
        }
    }
    AddLayers(f.TopDepths, f.TopSteps, qr, s, sum);
    AddLayers(f.BottomDepths, f.BottomSteps, qr, s, sum);

    if (f.RepeatUnitThickness != 0.0) {
        ComplexLanes& period = s.Phase;
        for (int i = 0; i < kLanes; ++i) {
            period.re.v[i] = 0.0;
            period.im.v[i] = 0.0;
        }
        AddLayers(f.UnitDepths, f.UnitSteps, qr, s, period);
        const double repeats = f.RepeatCount;
        for (int i = 0; i < kLanes; ++i) {
            const double u = qr.v[i] * f.RepeatUnitThickness;
            double s1, c1, sN1, cN1, sN, cN;
            vmath::SinCos(u, s1, c1, s.Unreliable.v[i]);
            vmath::SinCos((repeats - 1.0) * u, sN1, cN1, s.Unreliable.v[i]);
            vmath::SinCos(repeats * u, sN, cN, s.Unreliable.v[i]);
            const double a = cN1 - cN - c1 + 1.0;
            const double b = sN1 - sN + s1;
            const double den = 2.0 * (1.0 - c1);
            const bool tiny = !(den >= kSmallestDenominator);
            s.Unreliable.v[i] = tiny ? 1.0 : s.Unreliable.v[i];
            const double pr = period.re.v[i];
            const double pi = period.im.v[i];
            sum.re.v[i] += (pr * a - pi * b) / den;
            sum.im.v[i] += (pi * a + pr * b) / den;
        }
    }

    for (int i = 0; i < kLanes; ++i) {
        const double re = sum.re.v[i];
        const double im = sum.im.v[i];
        s.Reflectivity.v[i] = (re * re + im * im) * normalisation.v[i] / (qr.v[i] * qr.v[i]);
    }
}

}  // namespace korvel::batch
