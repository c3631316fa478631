#pragma once
// The corner plot of a posterior sample: for n free parameters an n x n lower triangle
// of panels, each parameter's histogram on the diagonal and the pairwise scatter of the
// samples below it, the fitted values marked. It shows at a glance which parameters
// the data pin down, which are correlated, and whether a posterior has several modes.

#include <string>
#include <vector>

#include "fit/PosteriorSampling.h"

namespace korvel {

class PlotCanvas;

struct CornerPlotData {
    std::vector<std::string> Names;  // one per free parameter, "Thickness:2"
    int Dimension = 0;
    std::vector<double> Points;      // samples, row-major: Points[s * Dimension + k]
    std::vector<double> Marked;      // the fitted values, or empty
    int SampleCount() const {
        return Dimension == 0 ? 0 : static_cast<int>(Points.size()) / Dimension;
    }
};

// The samples of a chain after its burn-in, thinned evenly to at most `maxSamples`
// (every walker's steps pooled, step by step), and the medians as marks when `marked`
// is empty.
CornerPlotData CornerDataOf(const PosteriorSample& sample, int maxSamples = 4000,
                            std::vector<double> marked = {});

// Histogram counts of `values` over `bins` equal bins from low to high (values outside
// are left out; the high edge belongs to the last bin).
std::vector<int> HistogramCounts(const std::vector<double>& values, double low, double high,
                                 int bins);

void DrawCornerPlot(PlotCanvas& canvas, const CornerPlotData& data);
std::string CornerPlotSvg(const CornerPlotData& data, int size = 0);

}  // namespace korvel
