#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestModels.h"
#include "engine/MatrixMethod.h"
#include "engine/OpticalStack.h"
#include "engine/Parratt.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

// Relative comparison to the number of digits a worked value is given with.
void ExpectWorkedValue(double actual, double expected) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 6e-5) << "expected " << expected;
}

TestSample BareSubstrate(double roughness) {
    TestSample sample;
    sample.Substrate = SiliconLike(roughness);
    return sample;
}

TestSample FilmOnSubstrate() {
    TestSample sample;
    sample.Top = {{100.0, 4e-6, 1e-7, 0.0}};
    sample.Substrate = SiliconLike();
    return sample;
}

}  // namespace

TEST(ParrattWorkedValues, BareSmoothSubstrate) {
    const EvaluationContext context = MakeContext(BareSubstrate(0.0));
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(0.1)), 0.97786);
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(0.2)), 0.91417);
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(0.5)), 3.0932e-3);
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(1.0)), 1.6385e-4);
}

TEST(ParrattWorkedValues, RoughSubstrate) {
    const EvaluationContext context = MakeContext(BareSubstrate(5.0));
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(0.5)), 2.7616e-3);
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(1.0)), 9.9958e-5);
}

TEST(ParrattWorkedValues, FilmOnSmoothSubstrate) {
    const EvaluationContext context = MakeContext(FilmOnSubstrate());
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(0.3)), 2.6928e-3);
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(0.5)), 2.9067e-3);
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(1.0)), 8.8159e-5);
    ExpectWorkedValue(ParrattReflectivity(context, CosSquaredOf(2.0)), 5.7921e-8);
}

TEST(ParrattStack, BareSubstrateIsTheFresnelReflectivityAndTotalAtGrazingIncidence) {
    const EvaluationContext context = MakeContext(BareSubstrate(0.0));
    const double c2 = CosSquaredOf(0.7);
    const Complex r = FresnelCoefficient(CMake(1.0), context.Index(1), c2);
    EXPECT_DOUBLE_EQ(ParrattReflectivity(context, c2), r.Re * r.Re + r.Im * r.Im);
    EXPECT_DOUBLE_EQ(ParrattReflectivity(context, 1.0), 1.0);
    // Roughness lowers R at large angles but not at theta = 0.
    const EvaluationContext rough = MakeContext(BareSubstrate(8.0));
    EXPECT_DOUBLE_EQ(ParrattReflectivity(rough, 1.0), 1.0);
    EXPECT_LT(ParrattReflectivity(rough, c2), ParrattReflectivity(context, c2));
}

TEST(ParrattStack, ALayerMatchingTheMediumBelowActsOnlyThroughItsPhase) {
    TestSample sample = FilmOnSubstrate();
    sample.Top.push_back({250.0, 7.6e-6, 1.7e-7, 0.0});  // same optics as the substrate
    const EvaluationContext context = MakeContext(sample);
    EXPECT_EQ(CAbs(InterfaceCoefficient(context, 2, 3, CosSquaredOf(0.4))), 0.0);
    // With no absorption the phase alone does not change R.
    TestSample clear;
    clear.Top = {{100.0, 4e-6, 0.0, 0.0}, {250.0, 7.6e-6, 0.0, 0.0}};
    clear.Substrate = {0.0, 7.6e-6, 0.0, 0.0};
    TestSample without = clear;
    without.Top.pop_back();
    const double c2 = CosSquaredOf(0.9);
    EXPECT_NEAR(ParrattReflectivity(MakeContext(clear), c2),
                ParrattReflectivity(MakeContext(without), c2), 1e-15);
}

TEST(ParrattStack, TinyRoughnessGivesAFactorCloseToOne) {
    const double c2 = CosSquaredOf(1.0);
    const double smooth = ParrattReflectivity(MakeContext(BareSubstrate(0.0)), c2);
    const double tiny = ParrattReflectivity(MakeContext(BareSubstrate(1e-6)), c2);
    EXPECT_NE(tiny, smooth);
    EXPECT_NEAR(tiny, smooth, smooth * 1e-10);
}

TEST(ParrattStack, SubstrateThicknessHasNoEffect) {
    TestSample thin = FilmOnSubstrate();
    TestSample thick = thin;
    thick.Substrate.Thickness = 5000.0;
    const double c2 = CosSquaredOf(0.45);
    EXPECT_EQ(ParrattReflectivity(MakeContext(thin), c2),
              ParrattReflectivity(MakeContext(thick), c2));
}

TEST(ParrattRepeatUnit, NPeriodsEqualTheUnitWrittenOutNTimes) {
    TestSample sample;
    sample.Top = {{15.0, 5e-6, 2e-7, 4.0}};
    sample.Unit = {{20.0, 8e-6, 5e-7, 3.0}, {30.0, 3e-6, 1e-8, 2.0}, {12.0, 1.2e-5, 9e-7, 5.0}};
    sample.RepeatCount = 3;
    sample.Bottom = {{40.0, 6e-6, 1e-7, 1.0}};
    sample.Substrate = SiliconLike(3.5);
    const EvaluationContext periods = MakeContext(sample);
    const EvaluationContext written = MakeContext(WrittenOut(sample));
    for (double theta : {0.1, 0.35, 0.8, 1.5, 2.7}) {
        const double c2 = CosSquaredOf(theta);
        EXPECT_NEAR(ParrattReflectivity(periods, c2), ParrattReflectivity(written, c2),
                    ParrattReflectivity(written, c2) * 1e-12)
            << theta;
    }
}

// The unit's steps are worked out once per point and replayed for every period: the
// result must be the written-out stack's to the last bit, for thick clear and opaque
// periods alike (the written-out stack is capped at 255 layers, so 127 periods of 2).
TEST(ParrattRepeatUnit, ManyThickPeriodsGiveExactlyTheWrittenOutStack) {
    for (const double beta : {0.0, 1e-7}) {
        TestSample sample;
        sample.Top = {{15.0, 5e-6, 2e-7, 4.0}};
        sample.Unit = {{1e7, 4.5e-5, beta, 3.5}, {1e7, 7.6e-6, beta, 4.0}};
        sample.RepeatCount = 127;
        sample.Bottom = {{40.0, 6e-6, 1e-7, 1.0}};
        sample.Substrate = SiliconLike(3.0);
        const EvaluationContext periods = MakeContext(sample);
        const EvaluationContext written = MakeContext(WrittenOut(sample));
        for (double theta : {0.05, 0.2, 0.35, 0.8, 2.7})
            EXPECT_EQ(ParrattReflectivity(periods, CosSquaredOf(theta)),
                      ParrattReflectivity(written, CosSquaredOf(theta)))
                << "beta " << beta << ", theta " << theta;
    }
}

TEST(ParrattRepeatUnit, AUnitStackedZeroTimesIsNotPartOfTheSample) {
    TestSample sample = FilmOnSubstrate();
    sample.Unit = {{20.0, 8e-6, 5e-7, 3.0}, {30.0, 3e-6, 1e-8, 2.0}};
    sample.RepeatCount = 0;
    sample.Bottom = {{40.0, 6e-6, 1e-7, 1.0}};
    TestSample without = sample;
    without.Unit.clear();
    for (double theta : {0.3, 1.1}) {
        const double c2 = CosSquaredOf(theta);
        const EvaluationContext context = MakeContext(sample);
        EXPECT_EQ(ParrattReflectivity(context, c2), ParrattReflectivity(MakeContext(without), c2));
        EXPECT_NEAR(MatrixReflectivity(context, c2), ParrattReflectivity(context, c2),
                    ParrattReflectivity(context, c2) * 1e-10);
    }
}

// A non-absorbing medium below its critical angle must carry a decaying evanescent
// wave, as it does for any beta > 0: R for beta = 0 is the limit beta -> 0+.
TEST(ParrattEvanescentWave, NonAbsorbingSubstrateGivesTheVanishingAbsorptionLimit) {
    TestSample exact;
    exact.Top = {{30.0, 4.8e-5, 3.9e-6, 0.0}};  // tungsten-like
    exact.Substrate = {0.0, 7.6e-6, 0.0, 0.0};
    TestSample limit = exact;
    limit.Substrate.Beta = 1e-30;
    const EvaluationContext a = MakeContext(exact);
    const EvaluationContext b = MakeContext(limit);
    for (double theta : {0.05, 0.1, 0.15, 0.2}) {  // below the substrate's 0.223 deg
        const double c2 = CosSquaredOf(theta);
        EXPECT_NEAR(ParrattReflectivity(a, c2), ParrattReflectivity(b, c2), 1e-12) << theta;
        EXPECT_NEAR(MatrixReflectivity(a, c2), MatrixReflectivity(b, c2), 1e-12) << theta;
    }
}

TEST(ParrattEvanescentWave, ThickNonAbsorbingLayersBelowTheirCriticalAngleStayFinite) {
    TestSample sample;
    sample.Top = {{1.0e6, 2e-5, 0.0, 2.0}};
    sample.Substrate = {0.0, 1e-5, 0.0, 0.0};
    const EvaluationContext context = MakeContext(sample);
    const double r = ParrattReflectivity(context, CosSquaredOf(0.2));
    EXPECT_TRUE(std::isfinite(r));
    EXPECT_NEAR(r, 1.0, 1e-9);
}

TEST(WaveVectorComponent, TakesTheDecayingRootOnTheNegativeRealAxis) {
    const Complex f = WaveVectorComponent({1.0 - 1e-5, -0.0}, CosSquaredOf(0.1));
    EXPECT_LT(f.Im, 0.0);
    EXPECT_GE(f.Re, 0.0);
    // With absorption the library's root is already the decaying one.
    const Complex g = WaveVectorComponent({1.0 - 1e-5, -1e-7}, CosSquaredOf(0.1));
    Complex w = CSqr(Complex{1.0 - 1e-5, -1e-7});
    w.Re -= CosSquaredOf(0.1);
    EXPECT_EQ(g.Re, CSqrt(w).Re);
    EXPECT_EQ(g.Im, CSqrt(w).Im);
}
