// The plot of data and fit, drawn against PlotCanvas. Abscissa: glancing angle in
// degrees; ordinate: lg of the intensity. All positions are canvas pixels.

#include "output/Plot.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "model/CurveArrays.h"

namespace korvel {
namespace {

constexpr const char* kFontName = "System";
constexpr int kFontSize = 8;
constexpr int kMaxTicks = 1000;

// Rescales a value by 10^-e (or builds 10^e from 1) by repeated multiplication or
// division, which is how the tick mantissa and power are formed.
double ScaleByPowerOfTen(double value, int e) {
    for (int i = 0; i < e; ++i) value *= 10.0;
    for (int i = 0; i > e; --i) value /= 10.0;
    return value;
}

void Widen(PlotAxis& axis, double value) {
    if (!std::isfinite(value)) return;
    if (value > axis.Maximum) axis.Maximum = value;
    if (value < axis.Minimum) axis.Minimum = value;
}

// An axis whose values are all equal gets a span around them: half to one and a half
// times a positive value; the mirrored span for a negative one; -1 .. 1 around zero.
void SpreadEqualRange(PlotAxis& axis) {
    if (axis.Maximum != axis.Minimum) return;
    const double v = axis.Minimum;
    if (v > 0.0) {
        axis.Minimum = v / 2.0;
        axis.Maximum = 1.5 * v;
    } else if (v < 0.0) {
        axis.Minimum = 1.5 * v;
        axis.Maximum = v / 2.0;
    } else {
        axis.Minimum = -1.0;
        axis.Maximum = 1.0;
    }
}

// Points that all three arrays of the plot really hold.
int PointsShown(const CurveArrays& curves) {
    std::size_t n = curves.PointCount;
    for (const auto* a : {&curves.Angle, &curves.MeasuredIntensity, &curves.SmearedCurve})
        if (a->size() < n) n = a->size();
    return static_cast<int>(n);
}

struct PlotBox {
    int Left, Top, Right, Bottom;
};

// Tick j's value; the loop over ticks ends at the first one that is not below the maximum.
double TickValue(const PlotAxis& axis, int j) {
    return axis.StepFactor * axis.Power * static_cast<double>(axis.FirstMultiple + j);
}

double TickLabelValue(const PlotAxis& axis, int j) {
    return static_cast<double>(axis.FirstMultiple + j) * axis.StepFactor;
}

void DrawXAxis(PlotCanvas& canvas, const PlotAxis& axis, const PlotBox& box) {
    const double scale = (box.Right - box.Left) / (axis.Maximum - axis.Minimum);
    int labelEnd = box.Left;
    for (int j = 0; j < kMaxTicks; ++j) {
        const double value = TickValue(axis, j);
        if (!(value < axis.Maximum)) break;
        const int x = PlotRound((value - axis.Minimum) * scale) + box.Left;
        canvas.SetPen(kPlotGrey, 1);
        canvas.MoveTo(x, box.Top);
        canvas.LineTo(x, box.Bottom + 5);
        if (j % 2 == 1) {
            canvas.SetFont(kFontName, kFontSize, kPlotBlack);
            canvas.TextOut(x - 20, box.Bottom + 8, PlotTickLabel(TickLabelValue(axis, j)));
            labelEnd = x + 20;
        }
    }
    if (axis.Exponent != 0) {
        const int x = box.Right - labelEnd >= 10 ? box.Right : labelEnd + 10;
        canvas.SetFont(kFontName, kFontSize, kPlotBlack);
        canvas.TextOut(x, box.Bottom + 8, "X*E" + PlotExponentText(axis.Exponent));
    }
}

void DrawYAxis(PlotCanvas& canvas, const PlotAxis& axis, const PlotBox& box) {
    const double scale = (box.Top - box.Bottom) / (axis.Maximum - axis.Minimum);
    for (int j = 0; j < kMaxTicks; ++j) {
        const double value = TickValue(axis, j);
        if (!(value < axis.Maximum)) break;
        const int y = PlotRound((value - axis.Minimum) * scale) + box.Bottom;
        canvas.SetPen(kPlotGrey, 1);
        canvas.MoveTo(box.Left - 5, y);
        canvas.LineTo(box.Right, y);
        canvas.SetFont(kFontName, kFontSize, kPlotBlack);
        canvas.TextOut(box.Left - 50, y - 4, PlotTickLabel(TickLabelValue(axis, j)));
    }
    if (axis.Exponent != 0) {
        canvas.SetFont(kFontName, kFontSize, kPlotBlack);
        canvas.TextOut(box.Left - 50, box.Top - 15, "Y*E" + PlotExponentText(axis.Exponent));
    }
}

// Joins the points of one curve in array order; a point without a finite position
// (an infinite or NaN value) breaks the line instead of reaching the canvas.
void DrawCurve(PlotCanvas& canvas, const CurveArrays& curves, const std::vector<double>& values,
               PlotColor color, const PlotAxis& x, const PlotAxis& y, const PlotBox& box) {
    const double xScale = (box.Right - box.Left) / (x.Maximum - x.Minimum);
    const double yScale = (box.Top - box.Bottom) / (y.Maximum - y.Minimum);
    canvas.SetPen(color, 1);
    bool havePrevious = false;
    int previousX = 0;
    int previousY = 0;
    const int n = PointsShown(curves);
    for (int i = 0; i < n; ++i) {
        const double angle = curves.Angle[i];
        const double lg = PlotLog(values[i]);
        if (!std::isfinite(angle) || !std::isfinite(lg)) {
            havePrevious = false;
            continue;
        }
        const int px = PlotRound((angle - x.Minimum) * xScale) + box.Left;
        const int py = PlotRound((lg - y.Minimum) * yScale) + box.Bottom;
        if (havePrevious) {
            canvas.MoveTo(previousX, previousY);
            canvas.LineTo(px, py);
        }
        havePrevious = true;
        previousX = px;
        previousY = py;
    }
}

}  // namespace

double PlotLog(double value) {
    if (value == 0.0) value = 1e-38;
    return std::log10(std::fabs(value));
}

int PlotRound(double value) {
    // nearbyint rounds in the current mode; the program never leaves round-to-nearest
    // (ties to even), but say so explicitly rather than rely on it.
    const int mode = std::fegetround();
    if (mode != FE_TONEAREST) std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    if (mode != FE_TONEAREST) std::fesetround(mode);
    if (r > 1e9) return 1000000000;
    if (r < -1e9) return -1000000000;
    return static_cast<int>(r);
}

std::string PlotTickLabel(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%5.2f", value);
    return buffer;
}

std::string PlotExponentText(int exponent) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, std::abs(exponent) >= 10 ? "%3d" : "%2d", exponent);
    std::string text = buffer;
    if (!text.empty() && text[0] == ' ') text[0] = '+';
    return text;
}

bool PlotRanges(const CurveArrays& curves, PlotAxis& x, PlotAxis& y) {
    x.Minimum = y.Minimum = 1.5e38;
    x.Maximum = y.Maximum = -1.5e38;
    const int n = PointsShown(curves);
    for (int i = 0; i < n; ++i) {
        Widen(x, curves.Angle[i]);
        Widen(y, PlotLog(curves.MeasuredIntensity[i]));
        Widen(y, PlotLog(curves.SmearedCurve[i]));
    }
    if (x.Minimum > x.Maximum || y.Minimum > y.Maximum) return false;
    SpreadEqualRange(x);
    SpreadEqualRange(y);
    return true;
}

bool PlotTicks(PlotAxis& axis) {
    const double span = axis.Maximum - axis.Minimum;
    if (!(span > 0.0) || !std::isfinite(span)) return false;
    const double t = std::log10(std::fabs(span));
    int e = static_cast<int>(std::trunc(t));
    if (t < 0.0) e -= 1;
    const double mantissa = ScaleByPowerOfTen(span, -e);
    const int rounded = PlotRound(mantissa);
    axis.StepFactor = rounded <= 2 ? 0.25 : rounded <= 4 ? 0.5 : 1.0;
    axis.Exponent = e;
    axis.Power = ScaleByPowerOfTen(1.0, e);
    const double first = std::trunc(axis.Minimum / (axis.StepFactor * axis.Power));
    // Ticks beyond the reach of a 64-bit count are not drawable anyway.
    if (!(std::fabs(first) < 1e15)) return false;
    axis.FirstMultiple = static_cast<long long>(first);
    if (axis.FirstMultiple >= 0) axis.FirstMultiple += 1;
    return true;
}

void DrawPlot(PlotCanvas& canvas, const CurveArrays& curves) {
    const int width = canvas.Width();
    const int height = canvas.Height();
    canvas.FillRect(0, 0, width, height, kPlotWhite);

    PlotBox box{};
    box.Top = PlotRound(height * 0.2 / 4.0);
    box.Bottom = height - 2 * box.Top;
    box.Left = PlotRound(width * 0.2);
    if (box.Left < 61) box.Left = 61;
    box.Right = width - box.Left;
    canvas.SetPen(kPlotBlack, 2);
    canvas.MoveTo(box.Left, box.Top);
    canvas.LineTo(box.Right, box.Top);
    canvas.LineTo(box.Right, box.Bottom);
    canvas.LineTo(box.Left, box.Bottom);
    canvas.LineTo(box.Left, box.Top);

    PlotAxis x;
    PlotAxis y;
    if (PlotRanges(curves, x, y) && PlotTicks(x) && PlotTicks(y)) {
        DrawXAxis(canvas, x, box);
        DrawYAxis(canvas, y, box);
        DrawCurve(canvas, curves, curves.MeasuredIntensity, kPlotBlue, x, y, box);
        DrawCurve(canvas, curves, curves.SmearedCurve, kPlotRed, x, y, box);
    }

    canvas.SetFont(kFontName, kFontSize, kPlotBlue);
    canvas.TextOut(box.Right + 10, box.Top + 15, "Experiment");
    canvas.SetFont(kFontName, kFontSize, kPlotRed);
    canvas.TextOut(box.Right + 10, box.Top + 45, "Calculation");
}

}  // namespace korvel
