#pragma once
// The plot of data and fit: measured and computed reflectivity against the glancing
// angle (degrees) on a decimal-logarithm intensity axis, with frame, grid, tick
// labels, exponent titles and a two-line legend. Drawn in pixel coordinates of the
// canvas (x to the right, y downwards), once, against a small canvas interface that
// the window, the SVG writer and the tests implement.

#include <cstdint>
#include <string>

namespace korvel {

struct CurveArrays;

struct PlotColor {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    bool operator==(const PlotColor&) const = default;
};

inline constexpr PlotColor kPlotWhite{255, 255, 255};
inline constexpr PlotColor kPlotBlack{0, 0, 0};
inline constexpr PlotColor kPlotGrey{128, 128, 128};
inline constexpr PlotColor kPlotBlue{0, 0, 255};
inline constexpr PlotColor kPlotRed{255, 0, 0};

// How a pen draws its lines.
enum class PenStyle { Solid, Dashed, Dotted };

// The drawing operations the plot needs. Text is placed by its top-left corner and
// drawn over the background colour; font sizes are in points (at 96 dots per inch,
// so a point is 4/3 pixel). Texts are UTF-8.
//
// The views of a fit (output/FitView, output/ProfileView) use a few more: dashed
// pens, filled discs, text measurement and upward text. Each has a default built
// from the basic operations, so a canvas that lacks them still draws every view.
class PlotCanvas {
  public:
    virtual ~PlotCanvas() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void FillRect(int left, int top, int right, int bottom, PlotColor color) = 0;
    // A solid pen in copy mode.
    virtual void SetPen(PlotColor color, int width) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void SetFont(const std::string& name, int size, PlotColor color) = 0;
    virtual void TextOut(int x, int y, const std::string& text) = 0;

    // A pen with a dash pattern; by default a solid one.
    virtual void SetStyledPen(PlotColor color, int width, PenStyle /*style*/) {
        SetPen(color, width);
    }
    // A filled disc of `radius` pixels around (x, y); by default a filled square.
    virtual void FillCircle(int x, int y, int radius, PlotColor color) {
        FillRect(x - radius, y - radius, x + radius + 1, y + radius + 1, color);
    }
    // Width and height in pixels of `text` in the current font at `size` points; by
    // default estimated from the shapes of a common sans-serif face.
    virtual int TextWidth(const std::string& text, int size) const;
    virtual int TextHeight(int size) const;
    // Text reading upwards (turned a quarter left) in the current font, centred on
    // (x, y); by default written level from (x, y).
    virtual void TextOutUpwards(int x, int y, const std::string& text) { TextOut(x, y, text); }
};

// The estimated width in pixels of `text` at `size` points in a DejaVu-like sans-serif
// face: the default measurement of a canvas that cannot measure.
int EstimatedTextWidth(const std::string& text, int size);
// The line height in pixels of that face at `size` points.
int EstimatedTextHeight(int size);

// One axis of a drawing: its range and its ticks.
struct PlotAxis {
    double Minimum = 0.0;
    double Maximum = 0.0;
    int Exponent = 0;             // e: tick labels are values / 10^e
    double StepFactor = 1.0;      // m: 0.25, 0.5 or 1
    double Power = 1.0;           // p = 10^e
    long long FirstMultiple = 0;  // k0: the first tick is m p k0
};

// Ranges of both axes as the plot finds them (lg of |intensity|, 0 counted as 1e-38);
// false when there is nothing finite to show.
bool PlotRanges(const CurveArrays& curves, PlotAxis& x, PlotAxis& y);
// Fills the tick parameters of an axis whose range is already set; false when the
// span is not a positive finite number.
bool PlotTicks(PlotAxis& axis);
// lg(v) = log10(|v|), with an exact 0 counted as 1e-38.
double PlotLog(double value);
// Round to the nearest integer, halves to even.
int PlotRound(double value);
// F(5.2) of a tick label: " 2.50", "-7.00", "10.00".
std::string PlotTickLabel(double value);
// The exponent text of an axis title: "+2", "-3", "+12".
std::string PlotExponentText(int exponent);

// Draws the whole plot of points 1 .. PointCount of `curves`: Angle against
// MeasuredIntensity (blue) and SmearedCurve (red). Reads, never changes, the curves.
void DrawPlot(PlotCanvas& canvas, const CurveArrays& curves);

}  // namespace korvel
