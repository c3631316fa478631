#include <gtest/gtest.h>

#include <cmath>

#include "engine/Complex.h"

using namespace korvel;

namespace {
constexpr double kPi = 3.141592653589793;
}

TEST(ComplexArgument, FollowsTheQuadrantRulesWithSignedZerosCountingAsZero) {
    EXPECT_EQ(CArg({0.0, 0.0}), 0.0);
    EXPECT_EQ(CArg({-1.0, 0.0}), kPi);
    EXPECT_EQ(CArg({-1.0, -0.0}), kPi);
    EXPECT_EQ(CArg({0.0, -2.0}), -kPi / 2);
    EXPECT_EQ(CArg({0.0, 2.0}), kPi / 2);
    EXPECT_NEAR(CArg({-1.0, -1.0}), -3.0 * kPi / 4, 1e-15);
    EXPECT_NEAR(CArg({-1.0, 1.0}), 3.0 * kPi / 4, 1e-15);
    EXPECT_NEAR(CArg({1.0, -1.0}), -kPi / 4, 1e-15);
}

TEST(ComplexSquareRoot, TakesThePrincipalBranchThroughModulusAndArgument) {
    const Complex negative = CSqrt({-4.0, 0.0});
    EXPECT_GT(negative.Re, 0.0);
    EXPECT_LT(negative.Re, 1e-15);
    EXPECT_DOUBLE_EQ(negative.Im, 2.0);
    // A negative zero does not move a negative real to the other branch.
    EXPECT_DOUBLE_EQ(CSqrt({-4.0, -0.0}).Im, 2.0);

    const Complex zero = CSqrt({0.0, 0.0});
    EXPECT_EQ(zero.Re, 0.0);
    EXPECT_EQ(zero.Im, 0.0);

    const Complex root = CSqrt({3.0, 4.0});
    EXPECT_NEAR(root.Re, 2.0, 1e-15);
    EXPECT_NEAR(root.Im, 1.0, 1e-15);

    // Just below the negative real axis the argument is close to -pi.
    const Complex below = CSqrt({-4.0, -1e-300});
    EXPECT_LT(below.Im, 0.0);
    EXPECT_NEAR(below.Im, -2.0, 1e-15);
}

TEST(ComplexArcCos, GivesTheRealArcCosineInsideAndTheNegativeArcCoshBeyondOne) {
    const Complex inside = CArcCos({0.5, 0.0});
    EXPECT_NEAR(inside.Re, 1.0471975512, 1e-10);
    EXPECT_NEAR(inside.Im, 0.0, 1e-15);
    const Complex beyond = CArcCos({2.0, 0.0});
    EXPECT_NEAR(beyond.Re, 0.0, 1e-15);
    EXPECT_NEAR(beyond.Im, -1.3169578969, 1e-10);
    EXPECT_NEAR(CArcCos({-1.0, 0.0}).Re, kPi, 1e-15);
}

TEST(ComplexSinhI, IsITimesTheSine) {
    const Complex quarter = CSinhI({kPi / 2, 0.0});
    EXPECT_NEAR(quarter.Re, 0.0, 1e-15);
    EXPECT_NEAR(quarter.Im, 1.0, 1e-15);
    // i sin(x + iy) = i (sin x cosh y + i cos x sinh y)
    const Complex z{0.7, -0.3};
    const Complex value = CSinhI(z);
    EXPECT_NEAR(value.Re, -std::cos(0.7) * std::sinh(-0.3), 1e-15);
    EXPECT_NEAR(value.Im, std::sin(0.7) * std::cosh(-0.3), 1e-15);
}

TEST(ComplexArithmetic, MultipliesDividesAndExponentiatesAsComplexAlgebra) {
    const Complex a{1.5, -2.0};
    const Complex b{-0.5, 3.0};
    const Complex product = CMul(a, b);
    EXPECT_DOUBLE_EQ(CMul(ImaginaryUnit, ImaginaryUnit).Re, -1.0);
    const Complex back = CDiv(product, b);
    EXPECT_NEAR(back.Re, a.Re, 1e-15);
    EXPECT_NEAR(back.Im, a.Im, 1e-15);
    const Complex square = CSqr(a);
    EXPECT_DOUBLE_EQ(square.Re, CMul(a, a).Re);
    EXPECT_DOUBLE_EQ(square.Im, CMul(a, a).Im);
    const Complex e = CExp({0.0, kPi});
    EXPECT_NEAR(e.Re, -1.0, 1e-15);
    EXPECT_NEAR(e.Im, 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(CAbs({3.0, 4.0}), 5.0);
    const Complex log = CLn({-1.0, 0.0});
    EXPECT_EQ(log.Re, 0.0);
    EXPECT_EQ(log.Im, kPi);
}

TEST(ComplexExp, GivesZeroCosineAndSineForUnreducibleArguments) {
    const Complex huge = CExp({0.0, 1e19});
    EXPECT_EQ(huge.Re, 0.0);
    EXPECT_EQ(huge.Im, 0.0);
}

TEST(ComplexDivision, ByZeroIsNotFiniteRatherThanAnInfinityOfOneSign) {
    const Complex q = CDiv({1.0, 0.0}, {0.0, 0.0});
    EXPECT_FALSE(std::isfinite(q.Re) && std::isfinite(q.Im));
    // 0 * 0 / 0 in the imaginary part: not a number, never silently finite.
    EXPECT_TRUE(std::isnan(q.Im));
}
