#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>

#include "EngineTestModels.h"
#include "engine/MatrixMethod.h"
#include "engine/OpticalStack.h"
#include "engine/Parratt.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

void ExpectWorkedValue(double actual, double expected) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 6e-5) << "expected " << expected;
}

void ExpectRelativelyEqual(double a, double b, double tolerance) {
    EXPECT_NEAR(a, b, std::fabs(b) * tolerance) << a << " vs " << b;
}

// Ten periods of 20 A (delta 8e-6) and 30 A (delta 3e-6), all roughnesses 3 A.
TestSample TenPeriodMultilayer() {
    TestSample sample;
    sample.Unit = {{20.0, 8e-6, 0.0, 3.0}, {30.0, 3e-6, 0.0, 3.0}};
    sample.RepeatCount = 10;
    sample.Substrate = {0.0, 7.6e-6, 0.0, 3.0};
    return sample;
}

TestLayer RandomLayer(std::mt19937_64& random) {
    std::uniform_real_distribution<double> thickness(2.0, 120.0);
    std::uniform_real_distribution<double> delta(1e-6, 3e-5);
    std::uniform_real_distribution<double> beta(0.0, 2e-6);
    std::uniform_real_distribution<double> roughness(0.0, 8.0);
    TestLayer layer{thickness(random), delta(random), beta(random), roughness(random)};
    if (random() % 4 == 0) layer.Roughness = 0.0;
    if (random() % 5 == 0) layer.Beta = 0.0;
    return layer;
}

TestSample RandomSample(std::mt19937_64& random) {
    TestSample sample;
    for (int i = static_cast<int>(random() % 4); i > 0; --i)
        sample.Top.push_back(RandomLayer(random));
    for (int i = 1 + static_cast<int>(random() % 4); i > 0; --i)
        sample.Unit.push_back(RandomLayer(random));
    for (int i = static_cast<int>(random() % 4); i > 0; --i)
        sample.Bottom.push_back(RandomLayer(random));
    const int counts[] = {0, 1, 2, 3, 5, 12, 40};
    sample.RepeatCount = counts[random() % 7];
    sample.Substrate = RandomLayer(random);
    sample.Substrate.Thickness = 0.0;
    return sample;
}

}  // namespace

TEST(MatrixWorkedValues, TenPeriodMultilayerAgreesWithTheParrattRecursion) {
    const EvaluationContext context = MakeContext(TenPeriodMultilayer());
    const struct {
        double Theta;
        double R;
    } points[] = {{0.3, 2.9676e-2}, {1.0, 7.9477e-4}, {1.77, 6.5752e-4}, {2.0, 1.3372e-6}};
    for (const auto& point : points) {
        const double c2 = CosSquaredOf(point.Theta);
        ExpectWorkedValue(MatrixReflectivity(context, c2), point.R);
        ExpectWorkedValue(ParrattReflectivity(context, c2), point.R);
    }
}

TEST(MatrixWorkedValues, SingleLayersGiveTheParrattWorkedValues) {
    TestSample substrate;
    substrate.Substrate = SiliconLike(5.0);
    ExpectWorkedValue(MatrixReflectivity(MakeContext(substrate), CosSquaredOf(0.5)), 2.7616e-3);
    TestSample film;
    film.Top = {{100.0, 4e-6, 1e-7, 0.0}};
    film.Substrate = SiliconLike();
    const EvaluationContext context = MakeContext(film);
    ExpectWorkedValue(MatrixReflectivity(context, CosSquaredOf(0.3)), 2.6928e-3);
    ExpectWorkedValue(MatrixReflectivity(context, CosSquaredOf(1.0)), 8.8159e-5);
}

TEST(MatrixMethod, AgreesWithParrattOnRandomStacksWithTopRepeatAndBottomBlocks) {
    std::mt19937_64 random(20240611);
    for (int trial = 0; trial < 200; ++trial) {
        const TestSample sample = RandomSample(random);
        const EvaluationContext context = MakeContext(sample);
        for (double theta : {0.0, 0.05, 0.2, 0.41, 0.9, 1.6, 3.3, 6.0}) {
            const double c2 = CosSquaredOf(theta);
            ExpectRelativelyEqual(MatrixReflectivity(context, c2), ParrattReflectivity(context, c2),
                                  1e-10);
        }
    }
}

TEST(MatrixMethod, NPeriodsEqualTheUnitWrittenOutNTimes) {
    TestSample sample;
    sample.Top = {{15.0, 5e-6, 2e-7, 4.0}};
    sample.Unit = {{20.0, 8e-6, 5e-7, 3.0}, {30.0, 3e-6, 1e-8, 2.0}};
    sample.Bottom = {{40.0, 6e-6, 1e-7, 1.0}};
    sample.Substrate = SiliconLike(3.5);
    for (int periods : {1, 2, 5, 17}) {
        sample.RepeatCount = periods;
        const EvaluationContext closedForm = MakeContext(sample);
        const EvaluationContext written = MakeContext(WrittenOut(sample));
        for (double theta : {0.12, 0.5, 1.3, 2.2}) {
            const double c2 = CosSquaredOf(theta);
            ExpectRelativelyEqual(MatrixReflectivity(closedForm, c2),
                                  MatrixReflectivity(written, c2), 1e-10);
        }
    }
}

TEST(MatrixMethod, TwoPeriodsScaleTheOnePeriodMatrixOnly) {
    // N = 2: a2 = sin(0) = 0, so the power step leaves a multiple of the period.
    TestSample sample = TenPeriodMultilayer();
    sample.RepeatCount = 2;
    const double c2 = CosSquaredOf(0.8);
    ExpectRelativelyEqual(MatrixReflectivity(MakeContext(sample), c2),
                          ParrattReflectivity(MakeContext(WrittenOut(sample)), c2), 1e-12);
}

TEST(MatrixMethod, OnlyASubstrateIsOneInterfaceWithItsRoughnessFactor) {
    TestSample sample;
    sample.Substrate = SiliconLike(4.0);
    const EvaluationContext context = MakeContext(sample);
    const double c2 = CosSquaredOf(0.6);
    const Complex r = InterfaceCoefficient(context, 0, 1, c2);
    EXPECT_DOUBLE_EQ(MatrixReflectivity(context, c2), r.Re * r.Re + r.Im * r.Im);
}

TEST(MatrixMethod, PeriodsOfZeroThicknessUseTheChebyshevLimitInsteadOfFailing) {
    // Without thickness or roughness a period is the identity up to a factor: the
    // normalised half trace is exactly 1, and every period count gives the bare
    // interface between the top layer and the substrate.
    TestSample sample;
    sample.Top = {{50.0, 5e-6, 1e-7, 0.0}};
    sample.Unit = {{0.0, 8e-6, 0.0, 0.0}, {0.0, 8e-6, 0.0, 0.0}};
    sample.Substrate = {0.0, 8e-6, 0.0, 0.0};
    TestSample plain = sample;
    plain.Unit.clear();
    for (int periods : {2, 3, 9}) {
        sample.RepeatCount = periods;
        for (double theta : {0.2, 1.0}) {
            const double c2 = CosSquaredOf(theta);
            const double r = MatrixReflectivity(MakeContext(sample), c2);
            ASSERT_TRUE(std::isfinite(r));
            ExpectRelativelyEqual(r, ParrattReflectivity(MakeContext(plain), c2), 1e-12);
        }
    }
}

namespace {

Matrix2 ExplicitPower(const Matrix2& m, int power) {
    Matrix2 result;
    for (int i = 0; i < power; ++i) MultiplyRight(result, m);
    return result;
}

// a and b are equal up to one complex factor common to all four elements.
void ExpectProportional(const Matrix2& a, const Matrix2& b) {
    const Complex factor = CDiv(a.G11, b.G11);
    for (auto [x, y] : {std::pair{a.G11, b.G11}, std::pair{a.G12, b.G12}, std::pair{a.G21, b.G21},
                        std::pair{a.G22, b.G22}}) {
        const Complex expected = CMul(y, factor);
        EXPECT_NEAR(x.Re, expected.Re, 1e-10 * CAbs(x) + 1e-14);
        EXPECT_NEAR(x.Im, expected.Im, 1e-10 * CAbs(x) + 1e-14);
    }
}

}  // namespace

TEST(MatrixPower, ChebyshevPowerIsTheRepeatedProductUpToAFactor) {
    Matrix2 m;
    m.G11 = {0.9, 0.2};
    m.G12 = {0.3, -0.1};
    m.G21 = {-0.2, 0.05};
    m.G22 = {1.1, -0.3};
    for (int power : {1, 2, 3, 7, 30}) {
        Matrix2 raised = m;
        RaiseToPower(raised, power);
        ExpectProportional(raised, ExplicitPower(m, power));
    }
}

TEST(MatrixPower, MinusIdentityUsesTheAlternatingLimit) {
    for (int power : {1, 2, 3, 4, 11}) {
        Matrix2 m;
        m.G11 = {-1.0, 0.0};
        m.G22 = {-1.0, 0.0};
        Matrix2 raised = m;
        RaiseToPower(raised, power);
        ASSERT_TRUE(std::isfinite(raised.G11.Im));
        ExpectProportional(raised, ExplicitPower(m, power));
        // The common factor is i (-1)^power times the identity's: no off-diagonal part.
        EXPECT_EQ(CAbs(raised.G12), 0.0);
        EXPECT_NEAR(raised.G11.Im, (power % 2 == 0) ? 1.0 : -1.0, 1e-15);
        EXPECT_NEAR(raised.G22.Im, raised.G11.Im, 1e-15);
    }
}

// Periods that let almost nothing through: the normalised half trace is huge, the
// Chebyshev quotients run to the end of the double range or the determinant
// underflows to 0. The power must still equal the periods written out.
TEST(MatrixOpaquePeriods, ThickNonAbsorbingLayerBelowItsCriticalAngle) {
    TestSample sample;
    sample.Unit = {{1000.0, 2e-5, 0.0, 2.0}, {50.0, 5e-6, 0.0, 2.0}};
    sample.RepeatCount = 5;
    sample.Substrate = {0.0, 7.6e-6, 0.0, 0.0};
    const EvaluationContext context = MakeContext(sample);
    for (double theta : {0.1, 0.2, 0.3, 1.0}) {
        const double c2 = CosSquaredOf(theta);
        ExpectRelativelyEqual(MatrixReflectivity(context, c2), ParrattReflectivity(context, c2),
                              1e-10);
    }
}

TEST(MatrixOpaquePeriods, AbsorbingUnitRepeatedTheMostACountCanHold) {
    TestSample sample;
    sample.Top = {{12.0, 2.4e-5, 0.0, 4.0}};
    sample.Unit = {{99.0, 2.4e-5, 2.6e-5, 4.0}};
    sample.RepeatCount = 255;
    sample.Substrate = {0.0, 1.1e-5, 8.3e-6, 5.0};
    const EvaluationContext context = MakeContext(sample);
    for (double theta : {0.22, 0.76, 2.0}) {
        const double c2 = CosSquaredOf(theta);
        ExpectRelativelyEqual(MatrixReflectivity(context, c2), ParrattReflectivity(context, c2),
                              1e-10);
    }
}

TEST(MatrixOpaquePeriods, PeriodWhosePhaseFactorUnderflowsToZero) {
    TestSample sample;
    sample.Top = {{40.0, 5e-6, 1e-7, 3.0}};
    sample.Unit = {{1.0e7, 8e-6, 5e-6, 3.0}, {30.0, 3e-6, 0.0, 3.0}};
    sample.RepeatCount = 3;
    sample.Substrate = SiliconLike(2.0);
    const EvaluationContext context = MakeContext(sample);
    for (double theta : {0.15, 0.5, 1.5}) {
        const double c2 = CosSquaredOf(theta);
        ExpectRelativelyEqual(MatrixReflectivity(context, c2), ParrattReflectivity(context, c2),
                              1e-10);
    }
}

TEST(MatrixPower, AStronglyAttenuatingPeriodKeepsItsSmallElementsAccurate) {
    // Half trace far out on the negative side: x + sqrt(x^2 - 1) nearly cancels.
    for (double large : {-1e3, -1e5, -1e6}) {
        Matrix2 m;
        m.G11 = {large, 0.3};
        m.G12 = {0.5, 0.1};
        m.G21 = {0.2, 0.0};
        m.G22 = {1.0 / large, 0.0};
        for (int power : {2, 3, 10}) {
            Matrix2 raised = m;
            RaiseToPower(raised, power);
            const Matrix2 explicitPower = ExplicitPower(m, power);
            const Complex expected = CDiv(explicitPower.G22, explicitPower.G11);
            const Complex actual = CDiv(raised.G22, raised.G11);
            EXPECT_LT(CAbs(CSub(actual, expected)), 1e-12 * CAbs(expected))
                << large << " " << power;
        }
    }
}
