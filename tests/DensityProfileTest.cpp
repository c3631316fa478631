// The density profile of a layer model: error-function steps at every interface, the
// repeat unit written out, the substrate last.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "EngineTestModels.h"
#include "base/RunError.h"
#include "engine/DensityProfile.h"

namespace korvel {
namespace {

using testing::FillModel;
using testing::TestLayer;
using testing::TestSample;

LayerModel ModelOf(const TestSample& sample) {
    LayerModel model;
    FillModel(model, sample);
    return model;
}

// A gold-like film of 200 A on a silicon-like substrate, rough on both interfaces.
TestSample Film(double topRoughness = 4.0, double substrateRoughness = 3.0) {
    TestSample film;
    film.Top = {{200.0, 2.0e-5, 1.0e-6, topRoughness}};
    film.Substrate = {0.0, 7.6e-6, 1.7e-7, substrateRoughness};
    return film;
}

// A top layer, a two-layer unit stacked five times, a bottom layer and the substrate.
TestSample Multilayer() {
    TestSample ml;
    ml.Top = {{12.0, 1.0e-5, 2.0e-7, 2.5}};
    ml.Unit = {{22.0, 4.5e-5, 3.0e-6, 3.0}, {31.0, 7.0e-6, 1.0e-7, 1.5}};
    ml.RepeatCount = 5;
    ml.Bottom = {{40.0, 1.2e-5, 4.0e-7, 0.0}};
    ml.Substrate = {0.0, 7.6e-6, 1.7e-7, 2.0};
    return ml;
}

double Step(double z, double at, double sigma) {
    if (sigma == 0.0) return z >= at ? 1.0 : 0.0;
    return 0.5 * (1.0 + std::erf((z - at) / (sigma * std::sqrt(2.0))));
}

// The profile summed over every interface, with no window: the reference.
double ReferenceDelta(const TestSample& sample, double z) {
    std::vector<TestLayer> layers = sample.Top;
    for (int n = 0; n < sample.RepeatCount; ++n)
        layers.insert(layers.end(), sample.Unit.begin(), sample.Unit.end());
    layers.insert(layers.end(), sample.Bottom.begin(), sample.Bottom.end());
    layers.push_back(sample.Substrate);
    double delta = 0.0;
    double previous = 0.0;
    double top = 0.0;
    for (const TestLayer& layer : layers) {
        delta += (layer.Delta - previous) * Step(z, top, layer.Roughness);
        previous = layer.Delta;
        top += layer.Thickness;
    }
    return delta;
}

TEST(DensityProfile, FilmIsTheSumOfTwoErrorFunctionSteps) {
    const LayerModel model = ModelOf(Film());
    const std::vector<double> depths = {-30.0, -4.0, 0.0, 3.0, 100.0, 195.0, 200.0, 206.0, 260.0};
    const DensityProfile profile = ComputeDensityProfile(model, depths);
    ASSERT_EQ(profile.Depth, depths);
    for (std::size_t i = 0; i < depths.size(); ++i) {
        const double z = depths[i];
        const double delta =
            2.0e-5 * Step(z, 0.0, 4.0) + (7.6e-6 - 2.0e-5) * Step(z, 200.0, 3.0);
        const double beta = 1.0e-6 * Step(z, 0.0, 4.0) + (1.7e-7 - 1.0e-6) * Step(z, 200.0, 3.0);
        EXPECT_NEAR(profile.ReDensity[i], delta, 1e-20) << "z = " << z;
        EXPECT_NEAR(profile.ImDensity[i], beta, 1e-21) << "z = " << z;
    }
    // Half-way up each step at its interface, the film's own value in its middle.
    EXPECT_NEAR(profile.ReDensity[2], 1.0e-5, 1e-20);
    EXPECT_DOUBLE_EQ(profile.ReDensity[4], 2.0e-5);
    EXPECT_DOUBLE_EQ(profile.ReDensity[8], 7.6e-6);
}

TEST(DensityProfile, WithoutRoughnessIsAStepFunction) {
    TestSample sharp = Multilayer();
    for (TestLayer* layer : {&sharp.Top[0], &sharp.Unit[0], &sharp.Unit[1], &sharp.Bottom[0],
                             &sharp.Substrate})
        layer->Roughness = 0.0;
    const LayerModel model = ModelOf(sharp);
    // Either side of each interface by a hair, and at the interface itself: the medium
    // below counts there.
    std::vector<double> depths;
    for (const ProfileSlab& slab : ProfileSlabs(model))
        for (double dz : {-1e-9, 0.0, 1e-9}) depths.push_back(slab.Top + dz);
    const DensityProfile profile = ComputeDensityProfile(model, depths);
    const std::vector<ProfileSlab> slabs = ProfileSlabs(model);
    for (std::size_t s = 0; s < slabs.size(); ++s) {
        const double above = s == 0 ? 0.0 : slabs[s - 1].ReDensity;
        EXPECT_EQ(profile.ReDensity[3 * s], above) << "above interface " << s;
        EXPECT_EQ(profile.ReDensity[3 * s + 1], slabs[s].ReDensity) << "at interface " << s;
        EXPECT_EQ(profile.ReDensity[3 * s + 2], slabs[s].ReDensity) << "below interface " << s;
    }
}

TEST(DensityProfile, IntegralOfDeltaOverDepthIsTheSumOfDeltaTimesThickness) {
    for (const TestSample& sample : {Film(), Multilayer()}) {
        const LayerModel model = ModelOf(sample);
        const DepthRange range = ProfileDepthRange(model);
        const int n = 400001;
        std::vector<double> depths(n);
        for (int i = 0; i < n; ++i)
            depths[i] = range.Top + (range.Bottom - range.Top) * i / (n - 1);
        const DensityProfile profile = ComputeDensityProfile(model, depths);
        const double h = depths[1] - depths[0];
        double integral = 0.0;
        for (int i = 1; i < n; ++i)
            integral += 0.5 * h * (profile.ReDensity[i - 1] + profile.ReDensity[i]);

        double sum = 0.0;
        for (const TestLayer& l : sample.Top) sum += l.Delta * l.Thickness;
        for (const TestLayer& l : sample.Unit) sum += sample.RepeatCount * l.Delta * l.Thickness;
        for (const TestLayer& l : sample.Bottom) sum += l.Delta * l.Thickness;
        const std::vector<ProfileSlab> slabs = ProfileSlabs(model);
        const double substrate = sample.Substrate.Delta * (range.Bottom - slabs.back().Top);
        // The sharp interface of the bottom layer costs the trapezoid rule about h times
        // its step; one angstrom of any layer would be 1e-3 of the sum.
        EXPECT_NEAR(integral - substrate, sum, 1e-7 * sum);
    }
}

TEST(DensityProfile, RepeatUnitIsWrittenOutRepeatCountTimes) {
    const TestSample sample = Multilayer();
    const std::vector<ProfileSlab> slabs = ProfileSlabs(ModelOf(sample));
    ASSERT_EQ(slabs.size(), 1u + 2u * 5u + 1u + 1u);
    std::vector<int> layers;
    for (const ProfileSlab& slab : slabs) layers.push_back(slab.Layer);
    EXPECT_EQ(layers, (std::vector<int>{1, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 4, 5}));
    EXPECT_DOUBLE_EQ(slabs[1].Top, 12.0);
    EXPECT_DOUBLE_EQ(slabs[3].Top, 12.0 + 53.0);
    EXPECT_DOUBLE_EQ(slabs[11].Top, 12.0 + 5 * 53.0);
    EXPECT_DOUBLE_EQ(slabs.back().Top, 12.0 + 5 * 53.0 + 40.0);
    EXPECT_EQ(slabs.back().Thickness, 0.0);

    // A unit stacked no times is not part of the sample, as in the optical stack.
    TestSample none = sample;
    none.RepeatCount = 0;
    const std::vector<ProfileSlab> without = ProfileSlabs(ModelOf(none));
    ASSERT_EQ(without.size(), 3u);
    EXPECT_DOUBLE_EQ(without.back().Top, 52.0);
}

TEST(DensityProfile, EqualsTheFullSumOfStepsAtAnyDepth) {
    // Only the interfaces near a depth are summed; a random stack with rough, sharp and
    // very rough interfaces must give what the sum over all of them gives.
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> thickness(0.0, 30.0);
    std::uniform_real_distribution<double> density(0.0, 5e-5);
    std::uniform_real_distribution<double> roughness(0.0, 12.0);
    for (int trial = 0; trial < 20; ++trial) {
        TestSample sample;
        auto layer = [&] {
            const double sigma = trial % 3 == 0 ? 0.0 : roughness(random);
            return TestLayer{thickness(random), density(random), density(random) / 20, sigma};
        };
        sample.Top = {layer(), layer()};
        sample.Unit = {layer(), layer(), layer()};
        sample.RepeatCount = 1 + trial % 7;
        sample.Bottom = {layer()};
        sample.Substrate = layer();
        const LayerModel model = ModelOf(sample);
        const std::vector<double> depths = ProfileDepths(model, 501);
        const DensityProfile profile = ComputeDensityProfile(model, depths);
        for (std::size_t i = 0; i < depths.size(); ++i)
            ASSERT_NEAR(profile.ReDensity[i], ReferenceDelta(sample, depths[i]), 1e-18)
                << "trial " << trial << ", z = " << depths[i];
    }
}

TEST(DensityProfile, RangeShowsAmbientAndSubstrateBeyondTheRoughInterfaces) {
    const LayerModel model = ModelOf(Film(15.0, 3.0));
    const DepthRange range = ProfileDepthRange(model);
    EXPECT_LE(range.Top, -60.0);  // four top roughnesses above the surface
    EXPECT_GE(range.Bottom, 200.0 + 30.0);
    const std::vector<double> depths = ProfileDepths(model, 11);
    ASSERT_EQ(depths.size(), 11u);
    EXPECT_EQ(depths.front(), range.Top);
    EXPECT_DOUBLE_EQ(depths.back(), range.Bottom);
}

TEST(DensityProfile, AModelWhoseCountsDoNotMatchItsParametersIsRefused) {
    LayerModel broken = ModelOf(Film());
    broken.Counts.TopLayerCount = 3;
    EXPECT_THROW(ProfileSlabs(broken), RunError);
    EXPECT_THROW(ComputeDensityProfile(LayerModel{}, std::vector<double>{0.0}), RunError);
}

}  // namespace
}  // namespace korvel
