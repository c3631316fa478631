#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestModels.h"
#include "engine/FourierMethod.h"
#include "engine/OpticalStack.h"
#include "engine/Parratt.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr double kPi = 3.141592653589793;

void ExpectWorkedValue(double actual, double expected) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 6e-5) << "expected " << expected;
}

EvaluationContext FourierContext(const TestSample& sample) {
    EvaluationContext context = MakeContext(sample);
    FourierSetup(context);
    return context;
}

double FourTimesCriticalAngle(const EvaluationContext& context) {
    // FourierThreshold = cos^2(4 theta_c).
    return std::acos(std::sqrt(context.FourierThreshold)) * 180.0 / kPi;
}

TestSample FilmOnSubstrate() {
    TestSample sample;
    sample.Top = {{100.0, 4e-6, 1e-7, 0.0}};
    sample.Substrate = {0.0, 7.6e-6, 1.7e-7, 0.0};
    return sample;
}

TestSample TenPeriodMultilayer() {
    TestSample sample;
    sample.Unit = {{20.0, 8e-6, 0.0, 3.0}, {30.0, 3e-6, 0.0, 3.0}};
    sample.RepeatCount = 10;
    sample.Substrate = {0.0, 7.6e-6, 0.0, 3.0};
    return sample;
}

}  // namespace

TEST(FourierWorkedValues, FilmOnSubstrate) {
    const EvaluationContext context = FourierContext(FilmOnSubstrate());
    EXPECT_DOUBLE_EQ(context.MeanDelta, 4e-6);
    EXPECT_DOUBLE_EQ(context.MaxDelta, 4e-6);
    EXPECT_NEAR(FourTimesCriticalAngle(context), 0.64823, 5e-6);
    ExpectWorkedValue(FourierReflectivity(context, CosSquaredOf(0.7)), 1.4584e-5);
    ExpectWorkedValue(FourierReflectivity(context, CosSquaredOf(1.0)), 8.6856e-5);
    ExpectWorkedValue(FourierReflectivity(context, CosSquaredOf(2.0)), 5.6622e-8);
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(0.7)), 1.4334e-5);
}

TEST(FourierWorkedValues, TenPeriodMultilayer) {
    const EvaluationContext context = FourierContext(TenPeriodMultilayer());
    EXPECT_DOUBLE_EQ(context.MeanDelta, 5e-6);
    EXPECT_DOUBLE_EQ(context.TotalThickness, 500.0);
    EXPECT_NEAR(FourTimesCriticalAngle(context), 0.91673, 5e-6);
    ExpectWorkedValue(FourierReflectivity(context, CosSquaredOf(1.0)), 7.7856e-4);
    ExpectWorkedValue(FourierReflectivity(context, CosSquaredOf(1.77)), 6.3217e-4);
    ExpectWorkedValue(FourierReflectivity(context, CosSquaredOf(2.0)), 1.2595e-6);
}

TEST(FourierThreshold, SendsPointsUpToFourCriticalAnglesToParratt) {
    TestSample sample;
    sample.Top = {{80.0, 5e-6, 0.0, 0.0}, {40.0, 2e-6, 0.0, 0.0}};
    sample.Substrate = {0.0, 4e-6, 0.0, 0.0};
    const EvaluationContext context = FourierContext(sample);
    // theta_c = sqrt(1e-5) * 180 / pi = 0.1812 degrees.
    EXPECT_NEAR(FourTimesCriticalAngle(context), 4.0 * std::sqrt(1e-5) * 180.0 / kPi, 1e-9);
    EXPECT_FALSE(FourierApplies(context, CosSquaredOf(0.7246)));
    EXPECT_TRUE(FourierApplies(context, CosSquaredOf(0.7248)));
}

TEST(FourierMethod, OnlyASubstrateGivesTheDampedSubstrateTerm) {
    TestSample sample;
    sample.Substrate = {0.0, 7.6e-6, 1.7e-7, 4.0};
    const EvaluationContext context = FourierContext(sample);
    const double c2 = CosSquaredOf(1.5);
    const double q = 4.0 * kPi / 1.54;
    const double qz2 = q * q * (1.0 - c2);
    const double qr2 = q * q * (1.0 - c2 - 2.0 * 7.6e-6);
    const double k = 2.0 * kPi / 1.54;
    const double damping = std::exp(-qz2 / 2.0 * 16.0);
    const double expected = 7.6e-6 * 7.6e-6 * damping * damping * 4.0 * std::pow(k, 4) / qz2 / qr2;
    EXPECT_NEAR(FourierReflectivity(context, c2), expected, expected * 1e-12);
}

TEST(FourierMethod, ALayerWithTheDeltaOfTheEntryAboveIsNotDamped) {
    TestSample rough;
    rough.Top = {{60.0, 5e-6, 0.0, 0.0}, {30.0, 5e-6, 0.0, 7.0}};
    rough.Substrate = {0.0, 7.6e-6, 0.0, 0.0};
    TestSample smooth = rough;
    smooth.Top[1].Roughness = 0.0;
    const double c2 = CosSquaredOf(1.4);
    EXPECT_EQ(FourierReflectivity(FourierContext(rough), c2),
              FourierReflectivity(FourierContext(smooth), c2));
    // With contrast the same roughness does damp.
    rough.Top[1].Delta = 9e-6;
    smooth.Top[1].Delta = 9e-6;
    EXPECT_LT(FourierReflectivity(FourierContext(rough), c2),
              FourierReflectivity(FourierContext(smooth), c2));
}

TEST(FourierMethod, AUnitWithoutThicknessContributesNothing) {
    TestSample sample = FilmOnSubstrate();
    TestSample withUnit = sample;
    withUnit.Unit = {{0.0, 2e-5, 0.0, 3.0}, {0.0, 1e-6, 0.0, 3.0}};
    withUnit.RepeatCount = 7;
    const double c2 = CosSquaredOf(1.2);
    EXPECT_EQ(FourierReflectivity(FourierContext(withUnit), c2),
              FourierReflectivity(FourierContext(sample), c2));
}

TEST(FourierRepeatUnit, NPeriodsEqualTheUnitWrittenOut) {
    TestSample sample;
    sample.Top = {{25.0, 2e-6, 0.0, 2.0}};
    sample.Unit = {{20.0, 8e-6, 0.0, 3.0}, {30.0, 3e-6, 0.0, 3.0}, {15.0, 5e-6, 0.0, 1.0}};
    sample.Bottom = {{40.0, 6e-6, 0.0, 2.5}};
    sample.Substrate = {0.0, 7.6e-6, 0.0, 3.0};
    for (int periods : {1, 4, 25}) {
        sample.RepeatCount = periods;
        const EvaluationContext closedForm = FourierContext(sample);
        const EvaluationContext written = FourierContext(WrittenOut(sample));
        for (double theta : {1.0, 1.77, 2.4, 4.0}) {
            const double c2 = CosSquaredOf(theta);
            const double expected = FourierReflectivity(written, c2);
            EXPECT_NEAR(FourierReflectivity(closedForm, c2), expected, expected * 1e-9)
                << periods << " periods at " << theta;
        }
    }
}

TEST(FourierRepeatUnit, DampingComparesEveryPeriodsFirstLayerWithTheLayerAboveTheUnit) {
    // The unit's first layer has the top layer's delta but not the unit's last:
    // written out, the first layer of each lower period is damped; in closed form none is.
    TestSample sample;
    sample.Top = {{25.0, 8e-6, 0.0, 2.0}};
    sample.Unit = {{20.0, 8e-6, 0.0, 6.0}, {30.0, 3e-6, 0.0, 3.0}};
    sample.RepeatCount = 5;
    sample.Substrate = {0.0, 7.6e-6, 0.0, 3.0};
    const double c2 = CosSquaredOf(2.0);
    const double closedForm = FourierReflectivity(FourierContext(sample), c2);
    const double written = FourierReflectivity(FourierContext(WrittenOut(sample)), c2);
    EXPECT_GT(std::fabs(closedForm - written), 1e-3 * written);
}

TEST(FourierRepeatUnit, PeriodsInPhaseAddUpWhereTheSeriesDenominatorVanishes) {
    // A period thickness of exactly one wavelength of Qr: u = 2 pi, cos u = 1.
    TestSample sample;
    sample.Unit = {{0.0, 5e-6, 0.0, 2.0}};
    sample.RepeatCount = 6;
    sample.Substrate = {0.0, 7.6e-6, 0.0, 1.0};
    const double c2 = CosSquaredOf(1.3);
    const double qr = 4.0 * kPi / 1.54 * std::sqrt(1.0 - c2 - 2.0 * 5e-6);
    sample.Unit[0].Thickness = 2.0 * kPi / qr;
    const EvaluationContext context = FourierContext(sample);
    ASSERT_EQ(std::cos(qr * context.RepeatUnitThickness), 1.0);
    const double bragg = FourierReflectivity(context, c2);
    ASSERT_TRUE(std::isfinite(bragg));
    sample.Unit[0].Thickness *= 1.0 + 1e-6;
    const double near = FourierReflectivity(FourierContext(sample), c2);
    EXPECT_NEAR(bragg, near, near * 1e-3);
}

TEST(FourierSetup, NegativeLargestDeltaTakesItsThresholdFromTheMagnitude) {
    TestSample sample;
    sample.Top = {{50.0, -1e-6, 0.0, 0.0}};
    sample.Substrate = {0.0, -2e-6, 0.0, 0.0};
    const EvaluationContext context = FourierContext(sample);
    EXPECT_EQ(context.MaxDelta, -2e-6);
    EXPECT_NEAR(FourTimesCriticalAngle(context), 4.0 * std::sqrt(4e-6) * 180.0 / kPi, 1e-9);
    const double r = FourierReflectivity(context, CosSquaredOf(1.0));
    EXPECT_TRUE(std::isfinite(r));
    EXPECT_GT(r, 0.0);
}

TEST(FourierSetup, PointsWhereTheRefractedTransferIsNotRealAreLeftToParratt) {
    // No film thickness: the mean delta is the substrate's, larger than the film's largest.
    TestSample sample;
    sample.Top = {{0.0, 5e-7, 0.0, 0.0}};
    sample.Substrate = {0.0, 2e-5, 0.0, 0.0};
    const EvaluationContext context = FourierContext(sample);
    EXPECT_EQ(context.MeanDelta, 2e-5);
    const double c2 = CosSquaredOf(0.3);  // above 4 theta_c of the film, below the substrate's
    EXPECT_GT(context.FourierThreshold, c2);
    EXPECT_FALSE(FourierApplies(context, c2));
    EXPECT_TRUE(FourierApplies(context, CosSquaredOf(1.0)));
}
