// The corner plot: histograms on the diagonal, binned pairwise densities below it.

#include "output/CornerView.h"

#include <algorithm>
#include <cmath>

#include "output/SvgCanvas.h"
#include "output/ViewAxes.h"

namespace korvel {
namespace {

constexpr int kMargin = 10;
constexpr int kPanelGap = 6;
constexpr int kHistogramBins = 30;
// The pairwise panels are drawn as a density of samples on a grid of cells rather than
// one mark per sample: a readable picture of thousands of samples at a size the SVG
// file keeps small.
constexpr int kDensityCells = 36;

// A shade between white (0) and the views' blue (1), darker for denser cells; the
// square root keeps the tails of a peaked posterior visible.
PlotColor Shade(double fraction) {
    const double t = std::sqrt(std::clamp(fraction, 0.0, 1.0));
    auto mix = [t](int to) {
        return static_cast<std::uint8_t>(std::lround(255.0 - t * (255.0 - to)));
    };
    return {mix(kViewBlue.Red), mix(kViewBlue.Green), mix(kViewBlue.Blue)};
}

std::vector<double> SamplesOf(const CornerPlotData& data, int k) {
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(data.SampleCount()));
    for (int s = 0; s < data.SampleCount(); ++s)
        values.push_back(data.Points[static_cast<std::size_t>(s) * data.Dimension + k]);
    return values;
}

void DrawHistogram(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& x,
                   const std::vector<double>& values) {
    const std::vector<int> counts = HistogramCounts(values, x.Minimum, x.Maximum, kHistogramBins);
    const int highest = std::max(1, *std::max_element(counts.begin(), counts.end()));
    const double width = (x.Maximum - x.Minimum) / kHistogramBins;
    const int height = box.Bottom - box.Top - 4;
    canvas.SetPen(kViewBlue, 1);
    canvas.MoveTo(PixelX(x, box, x.Minimum), box.Bottom);
    for (int b = 0; b < kHistogramBins; ++b) {
        const int top = box.Bottom - static_cast<int>(std::lround(
                                         static_cast<double>(counts[b]) / highest * height));
        const int left = PixelX(x, box, x.Minimum + b * width);
        const int right = PixelX(x, box, x.Minimum + (b + 1) * width);
        canvas.LineTo(left, top);
        canvas.LineTo(right, top);
    }
    canvas.LineTo(PixelX(x, box, x.Maximum), box.Bottom);
}

void DrawDensity(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& x, const ViewAxis& y,
                 const std::vector<double>& xs, const std::vector<double>& ys) {
    std::vector<int> cells(kDensityCells * kDensityCells, 0);
    const double dx = (x.Maximum - x.Minimum) / kDensityCells;
    const double dy = (y.Maximum - y.Minimum) / kDensityCells;
    for (std::size_t s = 0; s < xs.size(); ++s) {
        const double i = std::floor((xs[s] - x.Minimum) / dx);
        const double j = std::floor((ys[s] - y.Minimum) / dy);
        if (!(i >= 0 && i < kDensityCells && j >= 0 && j < kDensityCells)) continue;
        ++cells[static_cast<int>(j) * kDensityCells + static_cast<int>(i)];
    }
    const int highest = std::max(1, *std::max_element(cells.begin(), cells.end()));
    for (int j = 0; j < kDensityCells; ++j)
        for (int i = 0; i < kDensityCells; ++i) {
            const int count = cells[j * kDensityCells + i];
            if (count == 0) continue;
            const int left = PixelX(x, box, x.Minimum + i * dx);
            const int right = PixelX(x, box, x.Minimum + (i + 1) * dx);
            const int top = PixelY(y, box, y.Minimum + (j + 1) * dy);
            const int bottom = PixelY(y, box, y.Minimum + j * dy);
            canvas.FillRect(left, top, std::max(right, left + 1), std::max(bottom, top + 1),
                            Shade(static_cast<double>(count) / highest));
        }
}

}  // namespace

CornerPlotData CornerDataOf(const PosteriorSample& sample, int maxSamples,
                            std::vector<double> marked) {
    const SamplerChain& chain = sample.Chain;
    CornerPlotData data;
    data.Dimension = chain.Dimension;
    for (const PosteriorParameter& p : sample.Parameters) data.Names.push_back(p.Name);
    if (marked.empty())
        for (const PosteriorParameter& p : sample.Parameters) marked.push_back(p.Median);
    data.Marked = std::move(marked);
    const int first = std::min(sample.Burn, chain.Steps);
    const long long kept = static_cast<long long>(chain.Steps - first) * chain.Walkers;
    if (kept <= 0 || chain.Dimension == 0) return data;
    const long long taken = std::min<long long>(kept, std::max(1, maxSamples));
    data.Points.reserve(static_cast<std::size_t>(taken) * chain.Dimension);
    for (long long t = 0; t < taken; ++t) {
        const long long index = t * kept / taken;  // evenly spread over the kept samples
        const int step = first + static_cast<int>(index / chain.Walkers);
        const int walker = static_cast<int>(index % chain.Walkers);
        for (int k = 0; k < chain.Dimension; ++k) data.Points.push_back(chain.At(step, walker, k));
    }
    return data;
}

std::vector<int> HistogramCounts(const std::vector<double>& values, double low, double high,
                                 int bins) {
    std::vector<int> counts(static_cast<std::size_t>(std::max(bins, 1)), 0);
    if (!(high > low)) return counts;
    for (double v : values) {
        if (!(v >= low && v <= high)) continue;
        const int b = std::min(bins - 1, static_cast<int>((v - low) / (high - low) * bins));
        ++counts[static_cast<std::size_t>(b)];
    }
    return counts;
}

void DrawCornerPlot(PlotCanvas& canvas, const CornerPlotData& data) {
    const int width = canvas.Width();
    const int height = canvas.Height();
    canvas.FillRect(0, 0, width, height, kPlotWhite);
    const int n = data.Dimension;
    if (n == 0 || data.SampleCount() == 0) {
        canvas.SetFont(kViewFont, kViewTitleSize, kViewText);
        canvas.TextOut(kMargin, kMargin, "No samples to show.");
        return;
    }

    const int labelHeight = canvas.TextHeight(kViewLabelSize);
    const int titleHeight = canvas.TextHeight(kViewTitleSize);
    // Room for the labels and titles of the left column and the bottom row: the widest
    // y labels are not known before the axes are, so a typical width is reserved.
    const int left = kMargin + titleHeight + 6 + canvas.TextWidth("\u22120.000", kViewLabelSize) + 8;
    const int bottomRoom = 4 + 3 + labelHeight + 6 + titleHeight + kMargin;
    const int cell = std::max(
        20, std::min((width - left - kMargin) / n, (height - kMargin - bottomRoom) / n));
    const int panel = cell - kPanelGap;

    std::vector<std::vector<double>> columns;
    std::vector<ViewAxis> xAxes;
    std::vector<ViewAxis> yAxes;
    for (int k = 0; k < n; ++k) {
        columns.push_back(SamplesOf(data, k));
        ValueRange range;
        for (double v : columns.back()) range.Add(v);
        if (k < static_cast<int>(data.Marked.size())) range.Add(data.Marked[k]);
        xAxes.push_back(
            LinearAxis(range, 0.05, panel, AxisDirection::Horizontal, canvas, kViewLabelSize));
        yAxes.push_back(
            LinearAxis(range, 0.05, panel, AxisDirection::Vertical, canvas, kViewLabelSize));
    }

    auto boxOf = [&](int row, int col) {
        const int x0 = left + col * cell;
        const int y0 = kMargin + row * cell;
        return ViewBox{x0, y0, x0 + panel, y0 + panel};
    };
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col <= row; ++col) {
            const ViewBox box = boxOf(row, col);
            const ViewAxis& x = xAxes[col];
            const bool marked = col < static_cast<int>(data.Marked.size()) &&
                                row < static_cast<int>(data.Marked.size());
            if (row == col) {
                ViewAxis counts;  // the histogram's own height axis, unlabelled
                DrawPanel(canvas, box, x, counts);
                DrawHistogram(canvas, box, x, columns[col]);
                if (marked) {
                    canvas.SetStyledPen(kViewRed, 1, PenStyle::Dashed);
                    const int px = PixelX(x, box, data.Marked[col]);
                    canvas.MoveTo(px, box.Top + 1);
                    canvas.LineTo(px, box.Bottom - 1);
                }
            } else {
                const ViewAxis& y = yAxes[row];
                DrawPanel(canvas, box, x, y);
                DrawDensity(canvas, box, x, y, columns[col], columns[row]);
                if (marked)
                    canvas.FillCircle(PixelX(x, box, data.Marked[col]),
                                      PixelY(y, box, data.Marked[row]), 2, kViewRed);
                if (col == 0) {
                    const int labels = DrawYLabels(canvas, box, y);
                    DrawYTitle(canvas, box, labels + 4,
                               AxisTitle(data.Names[row], "", y.Exponent));
                }
            }
            if (row == n - 1) {
                const int labels = DrawXLabels(canvas, box, x);
                DrawXTitle(canvas, box, box.Bottom + labels + 4,
                           AxisTitle(data.Names[col], "", x.Exponent));
            }
        }
    }
}

std::string CornerPlotSvg(const CornerPlotData& data, int size) {
    if (size <= 0) size = std::clamp(170 * data.Dimension + 90, 480, 1600);
    SvgCanvas canvas(size, size);
    DrawCornerPlot(canvas, data);
    return canvas.Document();
}

}  // namespace korvel
