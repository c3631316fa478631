#pragma once
// Building blocks of the batch reflectivity kernel (engine-internal). A block is a
// fixed number of curve points (lanes) processed together; every quantity that
// depends on the point is an array over the lanes (structure of arrays) and every
// loop runs over the lanes, so the compiler turns it into vector code. What does not
// depend on the point (the medium constants, roughness scales, depths) is computed
// once per evaluation into StackConstants. The formulas are those of the per-point
// reference functions, operation for operation where rounding could matter; each
// place where the two could part by more than rounding marks the lane
// `Unreliable`, and the caller recomputes that point on the reference path.
// Lengths in angstrom, c2 = cos^2(theta).

#include <cstdint>
#include <vector>

#include "engine/VectorMath.h"

// Each block kernel is compiled for the baseline instruction set and for AVX2 and
// AVX-512; the loader picks the best the processor has. Results do not depend on
// the choice: the kernel files are built without contraction into fused
// multiply-adds, so every variant performs the same roundings.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
#define KORVEL_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define KORVEL_VECTOR_CLONES
#endif

namespace korvel {
struct EvaluationContext;
}

namespace korvel::batch {

inline constexpr int kLanes = 32;

struct alignas(64) Lanes {
    double v[kLanes];
};

struct ComplexLanes {
    Lanes re;
    Lanes im;
};

// One medium of the stack, with everything about it that does not depend on the point.
struct MediumConstants {
    double SquareRe = 1.0;      // Re n^2 = nRe^2 - nIm^2
    double SquareIm = 0.0;      // Im n^2 = 2 nRe nIm; 0 means f is real or negative imaginary
    double FirstOrderRe = 0.0;  // 2 (1 - nRe): A = (s2 - FirstOrderRe, FirstOrderIm)
    double FirstOrderIm = 0.0;  // 2 nIm
    double Thickness = 0.0;
    double Roughness = 0.0;
    double PhaseConstantIm = 0.0;  // -4 pi / lambda
    double MatrixPhase = 0.0;     // 2 k d
};

// A depth at which the Fourier sum takes a step, with the step's weight.
struct FourierStep {
    double Delta = 0.0;
    int Damping = -1;  // index into FourierRoughness, or -1 when not damped
};

struct FourierBlockConstants {
    double FourPiOverLambda = 0.0;
    double WaveNumber = 0.0;
    double K4 = 0.0;
    double MeanDelta = 0.0;
    double TotalThickness = 0.0;
    double RepeatUnitThickness = 0.0;
    int RepeatCount = 0;
    FourierStep Substrate;
    // Each block's boundary depths (one more than its layers) and its layers' weights.
    std::vector<double> TopDepths, UnitDepths, BottomDepths;
    std::vector<FourierStep> TopSteps, UnitSteps, BottomSteps;
    std::vector<double> Roughness;  // distinct roughness values of the damped steps
};

// Everything a block reads, built once per evaluation from the optical stack.
struct StackConstants {
    std::vector<MediumConstants> Media;  // stack entries 0 .. L + 1
    int Top = 0;                         // n1
    int Unit = 0;                        // n2 (0 when the unit is not in the stack)
    int Bottom = 0;                      // n3
    int RepeatCount = 0;                 // N
    double RoughnessScale = 0.0;         // g = -(4 pi / lambda)^2 / 2
    FourierBlockConstants Fourier;
    int Layers() const { return Top + Unit + Bottom; }
};

// `fourier`: also the constants of the Fourier method (the context has been through
// FourierSetup).
void BuildStackConstants(const EvaluationContext& context, bool fourier,
                         StackConstants& constants);

// Per-thread working arrays of one block. Sized by the stack, reused by every block
// and every evaluation: nothing is allocated per point.
struct BlockScratch {
    Lanes CosSquared;  // input
    Lanes SinSquared;  // 1 - c2
    Lanes Reflectivity;
    Lanes Unreliable;  // 1 where the point must be recomputed on the reference path
    ComplexLanes Below, Current, Coefficient, Phase, Amplitude;
    ComplexLanes G11, G12;            // first row of the running matrix product
    ComplexLanes V11, V12, V21, V22;  // one period without its last layer
    ComplexLanes M11, M12, M21, M22;  // period matrix, then its power
    ComplexLanes Eigen1, Eigen2, Power1, Power2, Base1, Base2;
    std::vector<ComplexLanes> UnitWave;         // f of each unit entry
    std::vector<ComplexLanes> UnitPhase;        // phase factor of each unit entry
    std::vector<ComplexLanes> UnitCoefficient;  // internal interfaces, lowest, joining
    std::vector<Lanes> Damping;                 // Fourier: one per distinct roughness

    void Reserve(const StackConstants& constants);
};

// The three block kernels: read CosSquared, write Reflectivity and Unreliable.
void ParrattBlock(const StackConstants& constants, BlockScratch& scratch);
void MatrixBlock(const StackConstants& constants, BlockScratch& scratch);
void FourierBlock(const StackConstants& constants, BlockScratch& scratch);

// ---- Lane loops shared by the kernels (inlined into each compiled variant). ----

// f = sqrt(n^2 - c2) on the decaying branch, as WaveVectorComponent.
KORVEL_ALWAYS_INLINE void WaveVector(const MediumConstants& m, const Lanes& c2, ComplexLanes& f) {
    if (m.SquareIm == 0.0) {
        // n^2 - c2 is real: a real root above the critical angle, -i sqrt|w| below.
        for (int i = 0; i < kLanes; ++i) {
            const double w = m.SquareRe - c2.v[i];
            const double root = std::sqrt(std::fabs(w));
            f.re.v[i] = w >= 0.0 ? root : 0.0;
            f.im.v[i] = w >= 0.0 ? 0.0 : -root;
        }
    } else {
        // PrincipalSqrt with its imaginary part fixed and non-zero (so the root is
        // never 0), written out so that the loop has no invariant condition left in it.
        const double y = m.SquareIm;
        const double y2 = y * y;
        const double size = std::fabs(y);
        const double sign = y < 0.0 ? -1.0 : 1.0;
        for (int i = 0; i < kLanes; ++i) {
            const double x = m.SquareRe - c2.v[i];
            const double modulus = std::sqrt(x * x + y2);
            const double large = std::sqrt((modulus + std::fabs(x)) * 0.5);
            const double small = size / (2.0 * large);
            f.re.v[i] = x >= 0.0 ? large : small;
            f.im.v[i] = sign * (x >= 0.0 ? small : large);
        }
    }
}

// exp(sigma^2 g sqrt(A B)) of the lower roughness, multiplied into r (which holds
// the Fresnel coefficient, or its numerator); nothing when sigma is 0.
KORVEL_ALWAYS_INLINE void ApplyRoughness(const MediumConstants& upper,
                                         const MediumConstants& lower, double roughnessScale,
                                         BlockScratch& s, ComplexLanes& r) {
    const double sigma = lower.Roughness;
    if (sigma == 0.0) return;
    const double t = sigma * sigma * roughnessScale;
    const double aIm = upper.FirstOrderIm;
    const double bIm = lower.FirstOrderIm;
    for (int i = 0; i < kLanes; ++i) {
        const double aRe = s.SinSquared.v[i] - upper.FirstOrderRe;
        const double bRe = s.SinSquared.v[i] - lower.FirstOrderRe;
        double qr, qi;
        vmath::PrincipalSqrt(aRe * bRe - aIm * bIm, aRe * bIm + aIm * bRe, qr, qi);
        qr = qr * t;
        qi = qi * t;
        const double magnitude = vmath::Exp(qr);
        double sine, cosine;
        vmath::SinCos(qi, sine, cosine, s.Unreliable.v[i]);
        const double er = magnitude * cosine;
        const double ei = magnitude * sine;
        const double rr = r.re.v[i];
        const double ri = r.im.v[i];
        r.re.v[i] = rr * er - ri * ei;
        r.im.v[i] = rr * ei + ri * er;
    }
}

// r of the interface `upper` over `lower`: Fresnel coefficient, times the
// Nevot-Croce factor exp(sigma^2 g sqrt(A B)) when the lower roughness is not 0,
// with the principal root of the product A B as in InterfaceCoefficient.
KORVEL_ALWAYS_INLINE void InterfaceCoefficient(const MediumConstants& upper,
                                               const MediumConstants& lower,
                                               const ComplexLanes& fUpper,
                                               const ComplexLanes& fLower, double roughnessScale,
                                               BlockScratch& s, ComplexLanes& r) {
    for (int i = 0; i < kLanes; ++i) {
        const double nr = fUpper.re.v[i] - fLower.re.v[i];
        const double ni = fUpper.im.v[i] - fLower.im.v[i];
        const double dr = fUpper.re.v[i] + fLower.re.v[i];
        const double di = fUpper.im.v[i] + fLower.im.v[i];
        const double inverse = 1.0 / (dr * dr + di * di);
        // Both f vanish only for identical media at their critical angle: no contrast.
        const bool none = dr == 0.0 && di == 0.0;
        r.re.v[i] = none ? 0.0 : (nr * dr + ni * di) * inverse;
        r.im.v[i] = none ? 0.0 : (ni * dr - nr * di) * inverse;
    }
    ApplyRoughness(upper, lower, roughnessScale, s, r);
}

// exp(-i (4 pi / lambda) d f), as PhaseFactor.
KORVEL_ALWAYS_INLINE void ParrattPhase(const MediumConstants& m, const ComplexLanes& f,
                                       BlockScratch& s, ComplexLanes& p) {
    const double d = m.Thickness;
    const double c = m.PhaseConstantIm;
    for (int i = 0; i < kLanes; ++i) {
        const double magnitude = vmath::Exp(-((d * f.im.v[i]) * c));
        double sine, cosine;
        vmath::SinCos((d * f.re.v[i]) * c, sine, cosine, s.Unreliable.v[i]);
        p.re.v[i] = magnitude * cosine;
        p.im.v[i] = magnitude * sine;
    }
}

// exp(-2i k d f), as InterfaceMatrix writes it.
KORVEL_ALWAYS_INLINE void MatrixPhase(const MediumConstants& m, const ComplexLanes& f,
                                      BlockScratch& s, ComplexLanes& p) {
    const double c = m.MatrixPhase;
    for (int i = 0; i < kLanes; ++i) {
        const double magnitude = vmath::Exp(c * f.im.v[i]);
        double sine, cosine;
        vmath::SinCos(-c * f.re.v[i], sine, cosine, s.Unreliable.v[i]);
        p.re.v[i] = magnitude * cosine;
        p.im.v[i] = magnitude * sine;
    }
}

KORVEL_ALWAYS_INLINE void SetIdentity(ComplexLanes& a11, ComplexLanes& a12, ComplexLanes& a21,
                                      ComplexLanes& a22) {
    for (int i = 0; i < kLanes; ++i) {
        a11.re.v[i] = 1.0;
        a11.im.v[i] = 0.0;
        a12.re.v[i] = 0.0;
        a12.im.v[i] = 0.0;
        a21.re.v[i] = 0.0;
        a21.im.v[i] = 0.0;
        a22.re.v[i] = 1.0;
        a22.im.v[i] = 0.0;
    }
}

// A = A * B for general 2x2 complex matrices.
KORVEL_ALWAYS_INLINE void MultiplyByMatrix(ComplexLanes& a11, ComplexLanes& a12, ComplexLanes& a21,
                                           ComplexLanes& a22, const ComplexLanes& b11,
                                           const ComplexLanes& b12, const ComplexLanes& b21,
                                           const ComplexLanes& b22) {
    for (int i = 0; i < kLanes; ++i) {
        const double x11r = a11.re.v[i], x11i = a11.im.v[i];
        const double x12r = a12.re.v[i], x12i = a12.im.v[i];
        const double x21r = a21.re.v[i], x21i = a21.im.v[i];
        const double x22r = a22.re.v[i], x22i = a22.im.v[i];
        const double y11r = b11.re.v[i], y11i = b11.im.v[i];
        const double y12r = b12.re.v[i], y12i = b12.im.v[i];
        const double y21r = b21.re.v[i], y21i = b21.im.v[i];
        const double y22r = b22.re.v[i], y22i = b22.im.v[i];
        a11.re.v[i] = (x11r * y11r - x11i * y11i) + (x12r * y21r - x12i * y21i);
        a11.im.v[i] = (x11r * y11i + x11i * y11r) + (x12r * y21i + x12i * y21r);
        a12.re.v[i] = (x11r * y12r - x11i * y12i) + (x12r * y22r - x12i * y22i);
        a12.im.v[i] = (x11r * y12i + x11i * y12r) + (x12r * y22i + x12i * y22r);
        a21.re.v[i] = (x21r * y11r - x21i * y11i) + (x22r * y21r - x22i * y21i);
        a21.im.v[i] = (x21r * y11i + x21i * y11r) + (x22r * y21i + x22i * y21r);
        a22.re.v[i] = (x21r * y12r - x21i * y12i) + (x22r * y22r - x22i * y22i);
        a22.im.v[i] = (x21r * y12i + x21i * y12r) + (x22r * y22i + x22i * y22r);
    }
}

// Multiplies the four elements by the same power of two, chosen per lane to bring
// the largest component near 1: exact, and it keeps repeated products in range.
KORVEL_ALWAYS_INLINE void Rescale(ComplexLanes& a11, ComplexLanes& a12, ComplexLanes& a21,
                                  ComplexLanes& a22) {
    for (int i = 0; i < kLanes; ++i) {
        // A NaN is passed over here; it stays in the elements and fails the point.
        double largest = std::fabs(a11.re.v[i]);
        for (const double value : {a11.im.v[i], a12.re.v[i], a12.im.v[i], a21.re.v[i],
                                   a21.im.v[i], a22.re.v[i], a22.im.v[i]}) {
            const double size = std::fabs(value);
            largest = size > largest ? size : largest;
        }
        const std::int64_t exponent = (vmath::BitsOf(largest) >> 52) & 0x7ff;
        std::int64_t field = 2046 - exponent;  // 2^(1023 - exponent)
        field = field < 1 ? 1 : (field > 2046 ? 2046 : field);
        const double scale = vmath::DoubleOf(field << 52);
        a11.re.v[i] *= scale;
        a11.im.v[i] *= scale;
        a12.re.v[i] *= scale;
        a12.im.v[i] *= scale;
        a21.re.v[i] *= scale;
        a21.im.v[i] *= scale;
        a22.re.v[i] *= scale;
        a22.im.v[i] *= scale;
    }
}

}  // namespace korvel::batch
