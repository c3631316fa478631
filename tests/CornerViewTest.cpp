// The corner plot's data: which samples it shows and how they are counted.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "output/CornerView.h"
#include "tests/RecordingCanvas.h"

namespace korvel {
namespace {

// A chain of `steps` steps of `walkers` walkers in two coordinates whose values say
// where they come from: coordinate 0 is the step, coordinate 1 the walker.
PosteriorSample NumberedChain(int steps, int walkers, int burn) {
    PosteriorSample sample;
    sample.Parameters = {{.ModelIndex = 1, .Name = "Thickness:1", .Median = 7.0},
                         {.ModelIndex = 4, .Name = "Roughness:1", .Median = 1.5}};
    SamplerChain& chain = sample.Chain;
    chain.Walkers = walkers;
    chain.Dimension = 2;
    chain.Steps = steps;
    for (int s = 0; s < steps; ++s)
        for (int w = 0; w < walkers; ++w) {
            chain.Points.push_back(s);
            chain.Points.push_back(w);
        }
    sample.Burn = burn;
    return sample;
}

TEST(CornerView, HistogramsCountTheUpperEdgeInTheLastBinAndLeaveOutTheRest) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<int> counts =
        HistogramCounts({0.0, 0.49, 0.5, 1.0, -0.1, 1.1, nan}, 0.0, 1.0, 2);
    EXPECT_EQ(counts, (std::vector<int>{2, 2}));
    // A range without width counts nothing rather than dividing by zero.
    EXPECT_EQ(HistogramCounts({1.0, 1.0}, 1.0, 1.0, 3), (std::vector<int>{0, 0, 0}));
}

TEST(CornerView, ShowsOnlySamplesAfterTheBurnInSpreadEvenlyOverTheChain) {
    const PosteriorSample sample = NumberedChain(10, 4, 3);
    const CornerPlotData all = CornerDataOf(sample, 1000);
    ASSERT_EQ(all.SampleCount(), 7 * 4);
    for (int s = 0; s < all.SampleCount(); ++s) EXPECT_GE(all.Points[2 * s], 3.0);
    // The medians are marked when no fitted values are given.
    EXPECT_EQ(all.Marked, (std::vector<double>{7.0, 1.5}));

    // Thinned to 7 samples: one per kept step, the last one included.
    const CornerPlotData thinned = CornerDataOf(sample, 7, {250.0, 3.0});
    ASSERT_EQ(thinned.SampleCount(), 7);
    for (int s = 0; s < 7; ++s) EXPECT_EQ(thinned.Points[2 * s], 3.0 + s);
    EXPECT_EQ(thinned.Marked, (std::vector<double>{250.0, 3.0}));
}

TEST(CornerView, AStoppedSamplingWithNothingKeptDrawsANoteInsteadOfPanels) {
    const CornerPlotData empty = CornerDataOf(NumberedChain(2, 4, 2), 1000);
    EXPECT_EQ(empty.SampleCount(), 0);
    testing::RecordingCanvas canvas(400, 400);
    DrawCornerPlot(canvas, empty);
    ASSERT_EQ(canvas.Texts.size(), 1u);
    EXPECT_EQ(canvas.Texts[0].Text, "No samples to show.");

    // With samples, every parameter's name is written below its column and beside its row.
    testing::RecordingCanvas drawn(400, 400);
    DrawCornerPlot(drawn, CornerDataOf(NumberedChain(10, 4, 3), 1000));
    int names = 0;
    for (const auto& text : drawn.Texts)
        if (text.Text.find("Thickness:1") != std::string::npos ||
            text.Text.find("Roughness:1") != std::string::npos)
            ++names;
    EXPECT_EQ(names, 3);  // two below the columns, one beside the second row
}

}  // namespace
}  // namespace korvel
