// Ticks, labels and panels of the views' axes.

#include "output/ViewAxes.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace korvel {
namespace {

constexpr int kTickLength = 4;
constexpr int kLabelGap = 3;
// Fewest pixels between two ticks, so that a panel never looks like a ruler.
constexpr int kMinHorizontalSpacing = 48;
constexpr int kMinVerticalSpacing = 26;
constexpr int kMaxTicks = 12;
constexpr int kMinorTickRoom = 36;  // decade height from which its minor ticks are drawn

constexpr const char* kMinus = "\u2212";

// A range with a positive, finite span: a single value gets a span around it.
void Spread(double& low, double& high) {
    if (high > low) return;
    const double v = low;
    const double half = v == 0.0 ? 1.0 : std::fabs(v) * 0.5;
    low = v - half;
    high = v + half;
}

int DecimalsOf(double step) {
    const double lg = std::log10(step);
    return std::max(0, -static_cast<int>(std::floor(lg + 1e-9)));
}

// Whether labels at `ticks` keep clear of each other along the axis.
bool LabelsFit(const ViewAxis& axis, int pixels, AxisDirection direction,
               const PlotCanvas& canvas, int fontSize) {
    const std::size_t n = axis.Ticks.size();
    if (n < 2) return true;
    const double span = axis.Maximum - axis.Minimum;
    const double spacing = pixels * (axis.Ticks[1] - axis.Ticks[0]) / span;
    if (direction == AxisDirection::Vertical)
        return spacing >= std::max(kMinVerticalSpacing, canvas.TextHeight(fontSize) + 4);
    if (spacing < kMinHorizontalSpacing) return false;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const int half = (canvas.TextWidth(axis.Labels[i], fontSize) +
                          canvas.TextWidth(axis.Labels[i + 1], fontSize)) /
                         2;
        if (spacing < half + 12) return false;
    }
    return true;
}

}  // namespace

void ValueRange::Add(double value) {
    if (!std::isfinite(value)) return;
    if (Empty) {
        Low = High = value;
        Empty = false;
        return;
    }
    Low = std::min(Low, value);
    High = std::max(High, value);
}

std::string TickLabel(double value, int decimals) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::fixed, decimals);
    std::string digits(buffer, result.ptr);
    // A value that rounds to zero is written without a sign.
    const bool zero = digits.find_first_not_of("0.") == std::string::npos;
    return (value < 0.0 && !zero ? kMinus : "") + digits;
}

std::string Superscript(int value) {
    static const char* const digits[10] = {"\u2070", "\u00b9", "\u00b2", "\u00b3", "\u2074",
                                           "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
    std::string text = value < 0 ? "\u207b" : "";
    for (char c : std::to_string(std::abs(value))) text += digits[c - '0'];
    return text;
}

std::string PowerOfTen(int exponent) { return "10" + Superscript(exponent); }

std::string AxisTitle(const std::string& quantity, const std::string& unit, int exponent) {
    if (exponent == 0) return unit.empty() ? quantity : quantity + " (" + unit + ")";
    if (unit.empty()) return quantity + " (\u00d7" + PowerOfTen(exponent) + ")";
    return quantity + " (" + PowerOfTen(exponent) + " " + unit + ")";
}

ViewAxis LinearAxis(ValueRange range, double pad, int pixels, AxisDirection direction,
                    const PlotCanvas& canvas, int fontSize) {
    double low = range.Empty ? 0.0 : range.Low;
    double high = range.Empty ? 1.0 : range.High;
    Spread(low, high);
    const double span = high - low;
    ViewAxis axis;
    axis.Minimum = low - pad * span;
    axis.Maximum = high + pad * span;
    const double largest = std::max(std::fabs(axis.Minimum), std::fabs(axis.Maximum));
    // In steps of three decades, as the units of the field are (10^-6 A^-2 for an SLD).
    if (largest > 0.0 && (largest < 1e-2 || largest >= 1e4))
        axis.Exponent = 3 * static_cast<int>(std::floor(std::log10(largest) / 3.0));
    const double scale = std::pow(10.0, -axis.Exponent);

    const double full = axis.Maximum - axis.Minimum;
    int power = static_cast<int>(std::floor(std::log10(full / kMaxTicks)));
    for (int attempt = 0; attempt < 40; ++attempt, ++power) {
        for (double multiple : {1.0, 2.0, 5.0}) {
            const double step = multiple * std::pow(10.0, power);
            const long long first = static_cast<long long>(std::ceil(axis.Minimum / step - 1e-9));
            const long long last = static_cast<long long>(std::floor(axis.Maximum / step + 1e-9));
            if (last - first + 1 > kMaxTicks) continue;
            axis.Ticks.clear();
            axis.Labels.clear();
            const int decimals = DecimalsOf(step * scale);
            for (long long k = first; k <= last; ++k) {
                const double value = static_cast<double>(k) * step;
                axis.Ticks.push_back(value);
                axis.Labels.push_back(TickLabel(value * scale, decimals));
            }
            if (LabelsFit(axis, pixels, direction, canvas, fontSize)) return axis;
        }
    }
    return axis;
}

ViewAxis DecadeAxis(ValueRange lgRange, double pad, int pixels, AxisDirection direction,
                    const PlotCanvas& canvas, int fontSize) {
    double low = lgRange.Empty ? -1.0 : lgRange.Low;
    double high = lgRange.Empty ? 0.0 : lgRange.High;
    Spread(low, high);
    const double span = high - low;
    ViewAxis axis;
    axis.Logarithmic = true;
    axis.Minimum = low - pad * span;
    axis.Maximum = high + pad * span;
    // At least two decade ticks, so that the scale can be read.
    if (std::floor(axis.Maximum) - std::ceil(axis.Minimum) < 1.0) {
        axis.Minimum = std::floor(axis.Minimum);
        axis.Maximum = std::max(std::ceil(axis.Maximum), axis.Minimum + 1.0);
    }
    const int first = static_cast<int>(std::ceil(axis.Minimum - 1e-9));
    const int last = static_cast<int>(std::floor(axis.Maximum + 1e-9));
    for (int step : {1, 2, 5, 10, 20, 50}) {
        axis.Ticks.clear();
        axis.Labels.clear();
        for (int k = first; k <= last; ++k) {
            if (k % step != 0) continue;
            axis.Ticks.push_back(k);
            axis.Labels.push_back(PowerOfTen(k));
        }
        if (axis.Ticks.size() <= static_cast<std::size_t>(kMaxTicks) &&
            LabelsFit(axis, pixels, direction, canvas, fontSize)) {
            const double decade = pixels / (axis.Maximum - axis.Minimum);
            if (step == 1 && decade >= kMinorTickRoom)
                for (int k = first - 1; k <= last; ++k)
                    for (int m = 2; m <= 9; ++m) {
                        const double value = k + std::log10(static_cast<double>(m));
                        if (value > axis.Minimum && value < axis.Maximum)
                            axis.MinorTicks.push_back(value);
                    }
            break;
        }
    }
    return axis;
}

int PixelX(const ViewAxis& axis, const ViewBox& box, double value) {
    const double x = box.Left + (value - axis.Minimum) / (axis.Maximum - axis.Minimum) *
                                    (box.Right - box.Left);
    return static_cast<int>(std::lround(std::clamp(x, -1e6, 1e6)));
}

int PixelY(const ViewAxis& axis, const ViewBox& box, double value) {
    const double y = box.Bottom - (value - axis.Minimum) / (axis.Maximum - axis.Minimum) *
                                      (box.Bottom - box.Top);
    return static_cast<int>(std::lround(std::clamp(y, -1e6, 1e6)));
}

void DrawPanel(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& x, const ViewAxis& y) {
    canvas.SetPen(kViewGrid, 1);
    for (double tick : x.Ticks) {
        const int px = PixelX(x, box, tick);
        if (px <= box.Left || px >= box.Right) continue;
        canvas.MoveTo(px, box.Top);
        canvas.LineTo(px, box.Bottom);
    }
    for (double tick : y.Ticks) {
        const int py = PixelY(y, box, tick);
        if (py <= box.Top || py >= box.Bottom) continue;
        canvas.MoveTo(box.Left, py);
        canvas.LineTo(box.Right, py);
    }
    canvas.SetPen(kViewFrame, 1);
    for (double tick : y.MinorTicks) {
        const int py = PixelY(y, box, tick);
        canvas.MoveTo(box.Left, py);
        canvas.LineTo(box.Left + kTickLength - 1, py);
    }
    canvas.MoveTo(box.Left, box.Top);
    canvas.LineTo(box.Right, box.Top);
    canvas.LineTo(box.Right, box.Bottom);
    canvas.LineTo(box.Left, box.Bottom);
    canvas.LineTo(box.Left, box.Top);
}

int DrawXLabels(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& axis) {
    canvas.SetPen(kViewFrame, 1);
    canvas.SetFont(kViewFont, kViewLabelSize, kViewText);
    const int top = box.Bottom + kTickLength + kLabelGap;
    for (std::size_t i = 0; i < axis.Ticks.size(); ++i) {
        const int px = PixelX(axis, box, axis.Ticks[i]);
        canvas.MoveTo(px, box.Bottom);
        canvas.LineTo(px, box.Bottom + kTickLength);
        const int width = canvas.TextWidth(axis.Labels[i], kViewLabelSize);
        canvas.TextOut(px - width / 2, top, axis.Labels[i]);
    }
    return kTickLength + kLabelGap + canvas.TextHeight(kViewLabelSize);
}

int YLabelsWidth(const PlotCanvas& canvas, const ViewAxis& axis) {
    int widest = 0;
    for (const std::string& label : axis.Labels)
        widest = std::max(widest, canvas.TextWidth(label, kViewLabelSize));
    return widest + kTickLength + kLabelGap;
}

int DrawYLabels(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& axis) {
    canvas.SetPen(kViewFrame, 1);
    canvas.SetFont(kViewFont, kViewLabelSize, kViewText);
    const int height = canvas.TextHeight(kViewLabelSize);
    for (std::size_t i = 0; i < axis.Ticks.size(); ++i) {
        const int py = PixelY(axis, box, axis.Ticks[i]);
        canvas.MoveTo(box.Left - kTickLength, py);
        canvas.LineTo(box.Left, py);
        const int width = canvas.TextWidth(axis.Labels[i], kViewLabelSize);
        canvas.TextOut(box.Left - kTickLength - kLabelGap - width, py - height / 2,
                       axis.Labels[i]);
    }
    return YLabelsWidth(canvas, axis);
}

void DrawYTitle(PlotCanvas& canvas, const ViewBox& box, int offset, const std::string& title) {
    canvas.SetFont(kViewFont, kViewTitleSize, kViewText);
    const int height = canvas.TextHeight(kViewTitleSize);
    canvas.TextOutUpwards(box.Left - offset - height / 2, (box.Top + box.Bottom) / 2, title);
}

void DrawXTitle(PlotCanvas& canvas, const ViewBox& box, int top, const std::string& title) {
    canvas.SetFont(kViewFont, kViewTitleSize, kViewText);
    const int width = canvas.TextWidth(title, kViewTitleSize);
    canvas.TextOut((box.Left + box.Right) / 2 - width / 2, top, title);
}

ViewBox DrawLegend(PlotCanvas& canvas, const ViewBox& box,
                   const std::vector<LegendEntry>& entries,
                   const std::vector<PixelPoint>& occupied) {
    using Symbol = LegendEntry::Symbol;
    const int lineHeight = canvas.TextHeight(kViewLabelSize) + 2;
    const int symbolWidth = 26;
    int textWidth = 0;
    bool symbols = false;
    for (const LegendEntry& e : entries) {
        textWidth = std::max(textWidth, canvas.TextWidth(e.Text, kViewLabelSize));
        symbols = symbols || e.Kind != Symbol::None;
    }
    const int width = (symbols ? symbolWidth : 0) + textWidth + 14;
    const int height = static_cast<int>(entries.size()) * lineHeight + 8;
    const int inset = 8;
    if (entries.empty() || width > box.Right - box.Left - 2 * inset ||
        height > box.Bottom - box.Top - 2 * inset)
        return {};

    const ViewBox corners[4] = {
        {box.Right - inset - width, box.Top + inset, box.Right - inset, box.Top + inset + height},
        {box.Left + inset, box.Top + inset, box.Left + inset + width, box.Top + inset + height},
        {box.Right - inset - width, box.Bottom - inset - height, box.Right - inset,
         box.Bottom - inset},
        {box.Left + inset, box.Bottom - inset - height, box.Left + inset + width,
         box.Bottom - inset}};
    int best = 0;
    std::size_t fewest = occupied.size() + 1;
    for (int c = 0; c < 4; ++c) {
        std::size_t hidden = 0;
        for (const PixelPoint& p : occupied)
            if (p.X >= corners[c].Left && p.X <= corners[c].Right && p.Y >= corners[c].Top &&
                p.Y <= corners[c].Bottom)
                ++hidden;
        if (hidden < fewest) {
            fewest = hidden;
            best = c;
        }
    }
    const ViewBox& r = corners[best];
    canvas.FillRect(r.Left, r.Top, r.Right + 1, r.Bottom + 1, kPlotWhite);
    canvas.SetPen(kViewGrid, 1);
    canvas.MoveTo(r.Left, r.Top);
    canvas.LineTo(r.Right, r.Top);
    canvas.LineTo(r.Right, r.Bottom);
    canvas.LineTo(r.Left, r.Bottom);
    canvas.LineTo(r.Left, r.Top);
    int y = r.Top + 4;
    for (const LegendEntry& e : entries) {
        const int mid = y + lineHeight / 2;
        const int symbolLeft = r.Left + 7;
        const int centre = symbolLeft + (symbolWidth - 8) / 2;
        switch (e.Kind) {
            case Symbol::MarkerWithBar:
                canvas.SetPen(kViewLightBlue, 1);
                canvas.MoveTo(centre, mid - 5);
                canvas.LineTo(centre, mid + 5);
                canvas.FillCircle(centre, mid, 2, e.Color);
                break;
            case Symbol::Marker:
                canvas.FillCircle(centre, mid, 2, e.Color);
                break;
            case Symbol::Line:
                canvas.SetStyledPen(e.Color, 2, e.Style);
                canvas.MoveTo(symbolLeft, mid);
                canvas.LineTo(symbolLeft + symbolWidth - 8, mid);
                break;
            case Symbol::None:
                break;
        }
        canvas.SetFont(kViewFont, kViewLabelSize, kViewText);
        canvas.TextOut(r.Left + 7 + (symbols ? symbolWidth : 0), y + 1, e.Text);
        y += lineHeight;
    }
    return r;
}

}  // namespace korvel
