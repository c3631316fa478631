#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "engine/Complex.h"
#include "engine/VectorMath.h"

using namespace korvel;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

double RelativeError(double value, double exact) {
    if (value == exact) return 0.0;
    return std::fabs(value - exact) / std::fabs(exact);
}

}  // namespace

TEST(BatchVectorMath, ExpMatchesTheLibraryOverTheWholeRange) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> wide(-740.0, 709.0);
    std::uniform_real_distribution<double> narrow(-2.0, 2.0);
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double x = i % 2 == 0 ? wide(random) : narrow(random);
        if (x < -708.0) continue;  // subnormal results are checked below
        worst = std::max(worst, RelativeError(vmath::Exp(x), std::exp(x)));
    }
    EXPECT_LT(worst, 4e-16);
    EXPECT_EQ(vmath::Exp(0.0), 1.0);
}

TEST(BatchVectorMath, ExpOverflowsUnderflowsAndPropagatesNaNLikeTheLibrary) {
    EXPECT_EQ(vmath::Exp(709.9), kInf);
    EXPECT_EQ(vmath::Exp(1e300), kInf);
    EXPECT_EQ(vmath::Exp(kInf), kInf);
    EXPECT_EQ(vmath::Exp(-kInf), 0.0);
    EXPECT_EQ(vmath::Exp(-1e300), 0.0);
    EXPECT_TRUE(std::isnan(vmath::Exp(std::nan(""))));
    // Subnormal results keep their leading digits.
    for (double x : {-710.0, -720.5, -740.0})
        EXPECT_NEAR(vmath::Exp(x), std::exp(x), std::exp(x) * 1e-9) << x;
    EXPECT_GT(vmath::Exp(-744.0), 0.0);
}

TEST(BatchVectorMath, SinCosMatchTheLibraryUpToTheReductionLimit) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> small(-4.0, 4.0);
    std::uniform_real_distribution<double> large(-vmath::kSinCosLimit, vmath::kSinCosLimit);
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double x = i % 2 == 0 ? small(random) : large(random);
        double s, c, unreliable = 0.0;
        vmath::SinCos(x, s, c, unreliable);
        EXPECT_EQ(unreliable, 0.0);
        worst = std::max({worst, std::fabs(s - std::sin(x)), std::fabs(c - std::cos(x))});
    }
    EXPECT_LT(worst, 4e-16);
    // Signs at the quadrant boundaries and of zero.
    double s, c, unreliable = 0.0;
    vmath::SinCos(-0.0, s, c, unreliable);
    EXPECT_EQ(c, 1.0);
    EXPECT_EQ(s, 0.0);
    vmath::SinCos(3.141592653589793, s, c, unreliable);
    EXPECT_EQ(c, -1.0);
    EXPECT_NEAR(s, std::sin(3.141592653589793), 1e-30);
    vmath::SinCos(-1.5707963267948966, s, c, unreliable);
    EXPECT_EQ(s, -1.0);
}

TEST(BatchVectorMath, SinCosMarksArgumentsItCannotReduce) {
    for (double x : {2e6, -5e7, kInf, -kInf, std::nan("")}) {
        double s, c, unreliable = 0.0;
        vmath::SinCos(x, s, c, unreliable);
        EXPECT_EQ(unreliable, 1.0) << x;
    }
    double s, c, unreliable = 1.0;
    vmath::SinCos(0.5, s, c, unreliable);
    EXPECT_EQ(unreliable, 1.0);  // never cleared
}

TEST(BatchVectorMath, PrincipalSqrtTakesTheComplexLibrarysBranches) {
    struct Case {
        double x, y;
    };
    const Case cases[] = {{-4.0, 0.0},     {-4.0, -0.0}, {-4.0, -1e-300}, {-4.0, 1e-300},
                          {0.0, 0.0},      {3.0, 4.0},   {3.0, -4.0},     {0.0, -2.0},
                          {0.0, 2.0},      {-1.0, -1.0}, {1e-5, -3e-7},   {-2e-5, 3e-12},
                          {-2e-5, -3e-12}, {5.0, -0.0}};
    for (const Case& c : cases) {
        double re, im;
        vmath::PrincipalSqrt(c.x, c.y, re, im);
        const Complex expected = CSqrt({c.x, c.y});
        const double size = std::sqrt(std::hypot(c.x, c.y));
        EXPECT_NEAR(re, expected.Re, size * 1e-15 + 1e-300) << c.x << " " << c.y;
        EXPECT_NEAR(im, expected.Im, size * 1e-15 + 1e-300) << c.x << " " << c.y;
        EXPECT_EQ(std::signbit(im), std::signbit(expected.Im)) << c.x << " " << c.y;
    }
    double re, im;
    vmath::PrincipalSqrt(0.0, 0.0, re, im);
    EXPECT_EQ(re, 0.0);
    EXPECT_EQ(im, 0.0);
}
