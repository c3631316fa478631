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
#include <limits>
#include <vector>

#include "engine/VectorMath.h"

// Each block kernel is compiled for the baseline instruction set and for AVX2 and
// AVX-512; the loader picks the best the processor has. Results do not depend on
// the choice: the kernel files are built without contraction into fused
// multiply-adds, so every variant performs the same roundings. Not under
// ThreadSanitizer: the loader runs the variant-picking resolver before the sanitizer's
// runtime is set up, and the instrumented resolver crashes the program at start.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__)
#define KORVEL_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#define KORVEL_HAS_VECTOR_CLONES 1
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
    double FirstOrderIm = 0.0;  // 2 nIm, and -0 for a clear medium (ApplyRoughness)
    double Thickness = 0.0;
    double Roughness = 0.0;
    double PhaseConstantIm = 0.0;  // -4 pi / lambda
    // A Parratt phase factor of smaller modulus is taken as 0 (ParrattPhase); 0 for a
    // layer too thin to get there, and for every layer when a medium could amplify.
    double OpaquePhase = 0.0;
    double MatrixPhase = 0.0;  // 2 k d
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
    bool OpaqueUnit = false;             // a unit layer may have an opaque phase factor
    FourierBlockConstants Fourier;
    int Layers() const { return Top + Unit + Bottom; }
};

// `fourier`: also the constants of the Fourier method (the context has been through
// FourierSetup).
void BuildStackConstants(const EvaluationContext& context, bool fourier, StackConstants& constants);

// Per-thread working arrays of one block. Sized by the stack, reused by every block
// and every evaluation: nothing is allocated per point.
struct BlockScratch {
    Lanes CosSquared;  // input
    Lanes SinSquared;  // 1 - c2
    Lanes Reflectivity;
    Lanes Unreliable;  // 1 where the point must be recomputed on the reference path
    Lanes Singular;    // RaiseToPower: 1 where the matrix has determinant 0
    Lanes UnreliableBefore;
    ComplexLanes Below, Current, Coefficient, Phase, Amplitude;
    ComplexLanes G11, G12;            // first row of the running matrix product
    ComplexLanes V11, V12, V21, V22;  // one period without its last layer
    ComplexLanes M11, M12, M21, M22;  // period matrix, then its power
    ComplexLanes Eigen1, Eigen2, Power1, Power2, Base1, Base2;
    ComplexLanes Q11, Q12, Q21, Q22;            // RaiseToPower: a singular matrix kept as it is
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

// exp(sigma^2 g sqrt(A) sqrt(B)) of the lower roughness, both roots on the decaying
// branch as in InterfaceCoefficient, multiplied into r (the Fresnel coefficient or its
// numerator); nothing when sigma is 0. The product of the roots is the principal root
// P of A B up to its sign, so one root per interface-point does. Without gain both
// roots lie in the closed fourth quadrant, so their product is the root of A B in the
// lower half-plane: -P exactly where A B = x + iy has y >= +0 (y > 0, a negative
// real A B, and A and B both negative reals, whose y is +0 because the imaginary
// parts of clear media are stored as -0). With gain on both sides the product is the
// upper root, -P where y < 0; with one of each it is P. So the sign of the factor's
// exponent is the sign bit of y, flipped or fixed per interface: a few bit operations
// per point, and continuous where A B crosses the cut.
KORVEL_ALWAYS_INLINE void ApplyRoughness(const MediumConstants& upper, const MediumConstants& lower,
                                         double roughnessScale, BlockScratch& s, ComplexLanes& r) {
    const double sigma = lower.Roughness;
    if (sigma == 0.0) return;
    const double t = sigma * sigma * roughnessScale;  // <= 0
    const double aIm = upper.FirstOrderIm;
    const double bIm = lower.FirstOrderIm;
    constexpr std::int64_t kSign = std::numeric_limits<std::int64_t>::min();
    const bool decaying = aIm <= 0.0 && bIm <= 0.0;
    const bool growing = aIm > 0.0 && bIm > 0.0;
    const std::int64_t flip = growing ? kSign : 0;
    // |t|, with the sign bit already set where the exponent never changes sign.
    const std::int64_t size = vmath::BitsOf(std::fabs(t)) | (decaying || growing ? 0 : kSign);
    for (int i = 0; i < kLanes; ++i) {
        const double aRe = s.SinSquared.v[i] - upper.FirstOrderRe;
        const double bRe = s.SinSquared.v[i] - lower.FirstOrderRe;
        const double y = aRe * bIm + aIm * bRe;
        double qr, qi;
        vmath::PrincipalSqrt(aRe * bRe - aIm * bIm, y, qr, qi);
        const double scale = vmath::DoubleOf(size | ((vmath::BitsOf(y) & kSign) ^ flip));
        qr = qr * scale;
        qi = qi * scale;
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
// Nevot-Croce factor exp(sigma^2 g sqrt(A) sqrt(B)) when the lower roughness is not
// 0, with the roots on the decaying branch as in InterfaceCoefficient.
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

// exp(-i (4 pi / lambda) d f), as PhaseFactor. A factor below m.OpaquePhase in modulus
// is set to 0, and its angle, which may lie beyond the exact range of SinCos (a layer
// of 1e7 angstrom), is not needed: the step scales all that comes from below the
// layer by the factor, and without gain nothing above amplifies it again, so the
// amplitude at the top changes by about that modulus.
KORVEL_ALWAYS_INLINE void ParrattPhase(const MediumConstants& m, const ComplexLanes& f,
                                       BlockScratch& s, ComplexLanes& p) {
    const double d = m.Thickness;
    const double c = m.PhaseConstantIm;
    const double opaque = m.OpaquePhase;
    if (opaque == 0.0) {
        for (int i = 0; i < kLanes; ++i) {
            const double magnitude = vmath::Exp(-((d * f.im.v[i]) * c));
            double sine, cosine;
            vmath::SinCos((d * f.re.v[i]) * c, sine, cosine, s.Unreliable.v[i]);
            p.re.v[i] = magnitude * cosine;
            p.im.v[i] = magnitude * sine;
        }
        return;
    }
    for (int i = 0; i < kLanes; ++i) {
        const double magnitude = vmath::Exp(-((d * f.im.v[i]) * c));
        double sine, cosine, unreduced = 0.0;
        vmath::SinCos((d * f.re.v[i]) * c, sine, cosine, unreduced);
        const bool dark = magnitude < opaque;
        p.re.v[i] = dark ? 0.0 : magnitude * cosine;
        p.im.v[i] = dark ? 0.0 : magnitude * sine;
        s.Unreliable.v[i] = ((unreduced != 0.0) & !dark) ? 1.0 : s.Unreliable.v[i];
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

inline constexpr double kSmallestSinSquared = 1e-8;  // |S|^2 below this: reference path
inline constexpr double kLargestPowerSquared = 1e300;
inline constexpr double kNegligible = 0x1p-600;

// The larger of two magnitudes; a NaN loses (it is caught where it ends up).
KORVEL_ALWAYS_INLINE double Larger(double a, double b) { return b > a ? b : a; }

// The power of two that brings `largest` near 1 (for 0, inf and NaN a harmless one).
KORVEL_ALWAYS_INLINE double InverseScale(double largest) {
    const std::int64_t exponent = (vmath::BitsOf(largest) >> 52) & 0x7ff;
    std::int64_t field = 2046 - exponent;  // 2^(1023 - exponent)
    field = field < 1 ? 1 : (field > 2046 ? 2046 : field);
    return vmath::DoubleOf(field << 52);
}

// Multiplies a and b by one power of two that brings the larger component near 1.
KORVEL_ALWAYS_INLINE void RescalePair(ComplexLanes& a, ComplexLanes& b) {
    for (int i = 0; i < kLanes; ++i) {
        const double largest = Larger(Larger(std::fabs(a.re.v[i]), std::fabs(a.im.v[i])),
                                      Larger(std::fabs(b.re.v[i]), std::fabs(b.im.v[i])));
        const double scale = InverseScale(largest);
        // Beside a partner near 1 a component below 2^-600 no longer counts; it is set
        // to 0 before it turns subnormal, which would slow every later product.
        const double ar = a.re.v[i] * scale, ai = a.im.v[i] * scale;
        const double br = b.re.v[i] * scale, bi = b.im.v[i] * scale;
        a.re.v[i] = std::fabs(ar) < kNegligible ? 0.0 : ar;
        a.im.v[i] = std::fabs(ai) < kNegligible ? 0.0 : ai;
        b.re.v[i] = std::fabs(br) < kNegligible ? 0.0 : br;
        b.im.v[i] = std::fabs(bi) < kNegligible ? 0.0 : bi;
    }
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

// M (in s.M..) becomes, up to a factor common to its four elements, M^power (power
// >= 1): normalised to determinant 1, M^m = U_(m-1)(x) M - U_(m-2)(x) I with x the
// half trace, U_(k-1)(x) = (l^k - l^-k) / (l - 1/l) for l = x + i S, S = sqrt(1 - x^2),
// and the common factor 1 / (l - 1/l) dropped. The Chebyshev polynomial has no
// branch, so either root S gives the same power. Near S = 0 (M close to +-I) the
// lane is marked unreliable. With HandleSingular, a matrix of determinant exactly 0 (a
// period with an opaque layer) is not marked: it cannot be normalised, but needs no
// power, having rank one: M^m = tr(M)^(m-1) M, M up to the common factor (unless the
// trace is 0). Without, the common case, those lanes are marked like any other.
template <bool HandleSingular>
KORVEL_ALWAYS_INLINE void RaiseToPower(BlockScratch& s, int power) {
    if constexpr (HandleSingular) s.UnreliableBefore = s.Unreliable;
    // Normalise to determinant 1 and form the eigenvalues x +- i S.
    for (int i = 0; i < kLanes; ++i) {
        const double m11r = s.M11.re.v[i], m11i = s.M11.im.v[i];
        const double m12r = s.M12.re.v[i], m12i = s.M12.im.v[i];
        const double m21r = s.M21.re.v[i], m21i = s.M21.im.v[i];
        const double m22r = s.M22.re.v[i], m22i = s.M22.im.v[i];
        const double detr = (m11r * m22r - m11i * m22i) - (m12r * m21r - m12i * m21i);
        const double deti = (m11r * m22i + m11i * m22r) - (m12r * m21i + m12i * m21r);
        double rootOf = detr;
        if constexpr (HandleSingular) {
            const bool singular = (detr == 0.0) & (deti == 0.0);
            s.Singular.v[i] = singular ? 1.0 : 0.0;
            rootOf = singular ? 1.0 : detr;
        }
        double sr, si;
        vmath::PrincipalSqrt(rootOf, deti, sr, si);
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
    // A singular lane was left unnormalised (a square root of 1): keep its matrix.
    double singularLanes = 0.0;
    if constexpr (HandleSingular) {
        for (int i = 0; i < kLanes; ++i) singularLanes += s.Singular.v[i];
        if (singularLanes != 0.0) {
            s.Q11 = s.M11;
            s.Q12 = s.M12;
            s.Q21 = s.M21;
            s.Q22 = s.M22;
        }
    }
    // Power1 = l^(power-1), Power2 = l^-(power-1), by repeated squaring; each pair is
    // rescaled by a common power of two, so neither overflows (the smaller of the two
    // may underflow, where it no longer counts against the larger).
    for (int e = power - 1; e > 0; e >>= 1) {
        if (e & 1) {
            MultiplyComplex(s.Power1, s.Base1);
            MultiplyComplex(s.Power2, s.Base2);
            RescalePair(s.Power1, s.Power2);
        }
        if (e > 1) {
            MultiplyComplex(s.Base1, s.Base1);
            MultiplyComplex(s.Base2, s.Base2);
            RescalePair(s.Base1, s.Base2);
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
        const bool broken = !(size <= kLargestPowerSquared);  // a NaN on the way
        s.Unreliable.v[i] = broken ? 1.0 : s.Unreliable.v[i];
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
    if (!HandleSingular || singularLanes == 0.0) return;
    // M^power = tr(M)^(power-1) M: M itself, the marks of the power undone. A singular
    // matrix without trace is nilpotent (its square is already 0) and is marked.
    for (int i = 0; i < kLanes; ++i) {
        const bool singular = s.Singular.v[i] != 0.0;
        const bool nilpotent = (s.Q11.re.v[i] + s.Q22.re.v[i] == 0.0) &
                               (s.Q11.im.v[i] + s.Q22.im.v[i] == 0.0) & (power > 1);
        const double kept = nilpotent ? 1.0 : s.UnreliableBefore.v[i];
        s.Unreliable.v[i] = singular ? kept : s.Unreliable.v[i];
        s.M11.re.v[i] = singular ? s.Q11.re.v[i] : s.M11.re.v[i];
        s.M11.im.v[i] = singular ? s.Q11.im.v[i] : s.M11.im.v[i];
        s.M12.re.v[i] = singular ? s.Q12.re.v[i] : s.M12.re.v[i];
        s.M12.im.v[i] = singular ? s.Q12.im.v[i] : s.M12.im.v[i];
        s.M21.re.v[i] = singular ? s.Q21.re.v[i] : s.M21.re.v[i];
        s.M21.im.v[i] = singular ? s.Q21.im.v[i] : s.M21.im.v[i];
        s.M22.re.v[i] = singular ? s.Q22.re.v[i] : s.M22.re.v[i];
        s.M22.im.v[i] = singular ? s.Q22.im.v[i] : s.M22.im.v[i];
    }
}

}  // namespace korvel::batch
