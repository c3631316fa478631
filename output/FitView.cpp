// The fit view and its residual panel.

#include "output/FitView.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "fit/FitSession.h"
#include "fit/Residuals.h"
#include "output/SvgCanvas.h"
#include "output/ViewAxes.h"

namespace korvel {
namespace {

constexpr int kMargin = 10;
constexpr int kPanelGap = 12;
constexpr double kMainShare = 0.72;  // of the height the two panels share

// What one point of the view shows, in axis values (lg on the logarithmic axis).
struct ViewPoint {
    double X = 0.0;
    double Measured = std::numeric_limits<double>::quiet_NaN();
    double BarLow = std::numeric_limits<double>::quiet_NaN();  // NaN: below any log axis
    double BarHigh = std::numeric_limits<double>::quiet_NaN();
    double Fitted = std::numeric_limits<double>::quiet_NaN();
    double Residual = std::numeric_limits<double>::quiet_NaN();
    bool InWindow = true;
};

double Lg(double value) {
    return value > 0.0 ? std::log10(value) : std::numeric_limits<double>::quiet_NaN();
}

std::vector<ViewPoint> ViewPoints(const FitViewData& data, const FitViewOptions& options) {
    const std::size_t n = std::min({data.Angle.size(), data.Measured.size(), data.Fitted.size(),
                                    data.Uncertainty.size()});
    const std::vector<double> residuals = NormalisedResiduals(
        std::span(data.Measured).first(n), std::span(data.Fitted).first(n),
        std::span(data.Uncertainty).first(n));
    const bool qz = options.Abscissa == FitAbscissa::Qz && data.Wavelength > 0.0;
    std::vector<ViewPoint> points(n);
    for (std::size_t i = 0; i < n; ++i) {
        ViewPoint& p = points[i];
        const double q = 4.0 * std::numbers::pi *
                         std::sin(data.Angle[i] * std::numbers::pi / 180.0) / data.Wavelength;
        p.X = qz ? q : data.Angle[i];
        const double factor = options.QzFourth && data.Wavelength > 0.0 ? q * q * q * q : 1.0;
        const double measured = data.Measured[i] * factor;
        const double sigma = std::fabs(data.Uncertainty[i] * factor);
        p.Measured = Lg(measured);
        if (std::isfinite(p.Measured)) {
            p.BarLow = Lg(measured - sigma);
            p.BarHigh = Lg(measured + sigma);
        }
        p.Fitted = Lg(data.Fitted[i] * factor);
        p.Residual = residuals[i];
        const int number = static_cast<int>(i) + 1;
        p.InWindow = number >= data.WindowFirst && number <= data.WindowLast;
    }
    return points;
}

std::string Significant(double value, int digits) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::general, digits);
    return std::string(buffer, result.ptr);
}

void DrawResidualPanel(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& x,
                       const ViewAxis& y, const std::vector<ViewPoint>& points, int radius) {
    DrawPanel(canvas, box, x, y);
    // The guides: 0 solid, +-1 dashed, +-3 dotted; standard-normal residuals stay
    // within +-1 about two times in three and within +-3 nearly always.
    const struct {
        double Value;
        PenStyle Style;
    } guides[] = {{0.0, PenStyle::Solid},  {1.0, PenStyle::Dashed}, {-1.0, PenStyle::Dashed},
                  {3.0, PenStyle::Dotted}, {-3.0, PenStyle::Dotted}};
    for (const auto& guide : guides) {
        if (guide.Value <= y.Minimum || guide.Value >= y.Maximum) continue;
        const int py = PixelY(y, box, guide.Value);
        canvas.SetStyledPen(kViewGuide, 1, guide.Style);
        canvas.MoveTo(box.Left + 1, py);
        canvas.LineTo(box.Right - 1, py);
    }
    for (const bool window : {false, true})
        for (const ViewPoint& p : points) {
            if (p.InWindow != window || !std::isfinite(p.Residual)) continue;
            canvas.FillCircle(PixelX(x, box, p.X), PixelY(y, box, p.Residual), radius,
                              window ? kViewBlue : kViewGrey);
        }
}

}  // namespace

FitViewData FitViewOf(const FitSession& session) {
    const CurveArrays& curves = session.Curves;
    const std::size_t n = curves.PointCount;
    auto firstN = [n](const std::vector<double>& a) {
        return std::vector<double>(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(
                                                              std::min(n, a.size())));
    };
    FitViewData data;
    data.Angle = firstN(curves.Angle);
    data.Measured = firstN(curves.MeasuredIntensity);
    data.Fitted = firstN(curves.SmearedCurve);
    data.Uncertainty = firstN(curves.Uncertainty);
    data.WindowFirst = session.Fit.FitWindowFirst;
    data.WindowLast = session.Fit.FitWindowLast;
    data.Wavelength = session.Model.Header.Wavelength;
    data.ReducedChiSquare = session.Fit.BestMerit;
    data.QzInverseAngstrom = session.Settings.QzInverseAngstrom;
    return data;
}

FitViewOptions DefaultFitViewOptions(const FitViewData& data) {
    FitViewOptions options;
    options.Abscissa =
        data.QzInverseAngstrom && data.Wavelength > 0.0 ? FitAbscissa::Qz : FitAbscissa::Angle;
    return options;
}

void DrawFitView(PlotCanvas& canvas, const FitViewData& data, const FitViewOptions& options) {
    const int width = canvas.Width();
    const int height = canvas.Height();
    canvas.FillRect(0, 0, width, height, kPlotWhite);
    const std::vector<ViewPoint> points = ViewPoints(data, options);
    const bool qz = options.Abscissa == FitAbscissa::Qz && data.Wavelength > 0.0;

    ValueRange xRange;
    ValueRange yRange;
    ValueRange residualRange;
    bool anyOutside = false;
    for (const ViewPoint& p : points) {
        xRange.Add(p.X);
        yRange.Add(p.Measured);
        yRange.Add(p.BarHigh);
        yRange.Add(p.Fitted);
        residualRange.Add(std::fabs(p.Residual));
        anyOutside = anyOutside || !p.InWindow;
    }
    // Bars that reach far below the data would squash it: at most a decade below.
    if (!yRange.Empty) {
        ValueRange lows;
        for (const ViewPoint& p : points) lows.Add(p.BarLow);
        if (!lows.Empty) yRange.Add(std::max(lows.Low, yRange.Low - 1.0));
    }

    const int labelHeight = canvas.TextHeight(kViewLabelSize);
    const int titleHeight = canvas.TextHeight(kViewTitleSize);
    const int top = kMargin;
    const int bottom = height - (4 + 3 + labelHeight + 6 + titleHeight + kMargin);
    const bool residuals = options.Residuals && !points.empty();
    const int shared = bottom - top - (residuals ? kPanelGap : 0);
    const int mainHeight = residuals ? static_cast<int>(shared * kMainShare) : shared;

    ViewBox main{0, top, 0, top + mainHeight};
    ViewBox lower{0, main.Bottom + kPanelGap, 0, bottom};
    const ViewAxis yAxis = DecadeAxis(yRange, 0.04, main.Bottom - main.Top,
                                      AxisDirection::Vertical, canvas, kViewLabelSize);
    ValueRange symmetric;
    const double extent =
        std::max(3.5, residualRange.Empty ? 0.0 : 1.1 * residualRange.High);
    symmetric.Add(-extent);
    symmetric.Add(extent);
    const ViewAxis rAxis = LinearAxis(symmetric, 0.0, lower.Bottom - lower.Top,
                                      AxisDirection::Vertical, canvas, kViewLabelSize);

    const int labelsWidth =
        std::max(YLabelsWidth(canvas, yAxis), residuals ? YLabelsWidth(canvas, rAxis) : 0);
    const int left = kMargin + titleHeight + 6 + labelsWidth;
    const int right = width - 14;
    main.Left = lower.Left = left;
    main.Right = lower.Right = right;
    const ViewAxis xAxis = LinearAxis(xRange, 0.02, right - left, AxisDirection::Horizontal,
                                      canvas, kViewLabelSize);

    DrawPanel(canvas, main, xAxis, yAxis);
    // Markers wider than the fitted line, so the data show on either side of it.
    const int radius = points.size() > 2000 ? 1 : 2;
    std::vector<PixelPoint> occupied;
    occupied.reserve(2 * points.size());
    for (const bool window : {false, true})
        for (const ViewPoint& p : points) {
            if (p.InWindow != window || !std::isfinite(p.Measured)) continue;
            const int px = PixelX(xAxis, main, p.X);
            const int py = PixelY(yAxis, main, p.Measured);
            const int high = std::max(main.Top, PixelY(yAxis, main, p.BarHigh));
            const int low = std::isfinite(p.BarLow)
                                ? std::min(main.Bottom, PixelY(yAxis, main, p.BarLow))
                                : main.Bottom;
            if (low - high >= 2 * radius + 2) {
                canvas.SetPen(window ? kViewLightBlue : kViewGrid, 1);
                canvas.MoveTo(px, high);
                canvas.LineTo(px, low);
            }
            if (py >= main.Top && py <= main.Bottom) {
                canvas.FillCircle(px, py, radius, window ? kViewBlue : kViewGrey);
                occupied.push_back({px, py});
            }
        }

    // The fitted curve; a point it cannot show on the log axis breaks the line.
    canvas.SetPen(kViewRed, points.size() > 150 ? 1 : 2);
    bool drawing = false;
    for (const ViewPoint& p : points) {
        if (!std::isfinite(p.Fitted)) {
            drawing = false;
            continue;
        }
        const int px = PixelX(xAxis, main, p.X);
        const int py = std::clamp(PixelY(yAxis, main, p.Fitted), main.Top, main.Bottom);
        if (drawing)
            canvas.LineTo(px, py);
        else
            canvas.MoveTo(px, py);
        drawing = true;
        occupied.push_back({px, py});
    }
    using Symbol = LegendEntry::Symbol;
    std::vector<LegendEntry> legend = {{Symbol::MarkerWithBar, kViewBlue, PenStyle::Solid, "Measured"},
                                       {Symbol::Line, kViewRed, PenStyle::Solid, "Fitted"}};
    if (anyOutside)
        legend.push_back(
            {Symbol::Marker, kViewGrey, PenStyle::Solid, "Outside the fitting window"});
    if (std::isfinite(data.ReducedChiSquare))
        legend.push_back({Symbol::None, kViewText, PenStyle::Solid,
                          "Reduced \u03c7\u00b2 = " + Significant(data.ReducedChiSquare, 4)});
    DrawLegend(canvas, main, legend, occupied);

    DrawYLabels(canvas, main, yAxis);
    const int titleOffset = labelsWidth + 6;
    DrawYTitle(canvas, main, titleOffset,
               options.QzFourth && data.Wavelength > 0.0 ? "R\u00b7Qz\u2074 (\u00c5\u207b\u2074)"
                                                         : "Reflectivity R");
    ViewBox labelled = main;
    if (residuals) {
        DrawResidualPanel(canvas, lower, xAxis, rAxis, points, radius);
        DrawYLabels(canvas, lower, rAxis);
        DrawYTitle(canvas, lower, titleOffset, "(R \u2212 Rfit) / \u0394R");
        labelled = lower;
    }
    const int labels = DrawXLabels(canvas, labelled, xAxis);
    DrawXTitle(canvas, labelled, labelled.Bottom + labels + 6,
               qz ? "Qz (\u00c5\u207b\u00b9)" : "Glancing angle \u03b8 (\u00b0)");
}

std::string FitViewSvg(const FitViewData& data, const FitViewOptions& options, int width,
                       int height) {
    SvgCanvas canvas(width, height);
    DrawFitView(canvas, data, options);
    return canvas.Document();
}

}  // namespace korvel
