#pragma once
// The axes of the views of a fit (the fit view, the profile view); the program's own
// plot keeps its own rules (output/Plot). Linear axes tick at 1, 2 or 5 times a power
// of ten, as sparsely as their labels need so that no two labels touch; very small or
// very large values have a common power of ten (a multiple of three) taken out of the
// labels and put into the axis title. Logarithmic axes carry lg of the quantity and tick at whole decades,
// labelled as powers of ten, with the 2 .. 9 of each decade as unlabelled minor ticks
// where there is room. Values map linearly onto canvas pixels.

#include <string>
#include <vector>

#include "output/Plot.h"

namespace korvel {

// A panel of a view in canvas pixels, edges included.
struct ViewBox {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

struct ViewAxis {
    double Minimum = 0.0;  // the values at the panel's edges (lg values on a log axis)
    double Maximum = 1.0;
    bool Logarithmic = false;
    int Exponent = 0;  // linear axes: the labels show value / 10^Exponent
    std::vector<double> Ticks;  // labelled ticks, in axis values
    std::vector<std::string> Labels;
    std::vector<double> MinorTicks;
};

// The lowest and highest of a set of values; non-finite ones are left out.
struct ValueRange {
    double Low = 0.0;
    double High = 0.0;
    bool Empty = true;
    void Add(double value);
};

enum class AxisDirection { Horizontal, Vertical };

// A linear axis showing `range` with `pad` of its span added on either side, on
// `pixels` pixels; labels measured at `fontSize` points on `canvas`. An empty or
// single-valued range gets a span around its value.
ViewAxis LinearAxis(ValueRange range, double pad, int pixels, AxisDirection direction,
                    const PlotCanvas& canvas, int fontSize);
// A logarithmic axis over lg values, padded the same way, at least one decade wide.
ViewAxis DecadeAxis(ValueRange lgRange, double pad, int pixels, AxisDirection direction,
                    const PlotCanvas& canvas, int fontSize);

// Pixel of a value on an axis drawn across the box (clamped far outside the canvas).
int PixelX(const ViewAxis& axis, const ViewBox& box, double value);
int PixelY(const ViewAxis& axis, const ViewBox& box, double value);

// "1.5", "−0.2", "10": a label of a linear tick; U+2212 is the minus sign.
std::string TickLabel(double value, int decimals);
// "10⁻⁶": a power of ten with superscript digits.
std::string PowerOfTen(int exponent);
// "⁻⁶": superscript digits and sign of an integer.
std::string Superscript(int value);
// The title of a linear axis with its unit and the power taken out of the labels:
// "δ (×10⁻⁶)", "SLD (10⁻⁶ Å⁻²)", "Depth (Å)".
std::string AxisTitle(const std::string& quantity, const std::string& unit, int exponent);

// Colours, fonts and sizes the views share.
inline constexpr PlotColor kViewText{30, 30, 30};
inline constexpr PlotColor kViewFrame{70, 70, 70};
inline constexpr PlotColor kViewGrid{226, 226, 226};
inline constexpr PlotColor kViewGuide{130, 130, 130};
inline constexpr PlotColor kViewBlue{31, 119, 180};
inline constexpr PlotColor kViewLightBlue{140, 180, 215};
inline constexpr PlotColor kViewRed{214, 39, 40};
inline constexpr PlotColor kViewOrange{230, 115, 0};
inline constexpr PlotColor kViewGrey{150, 150, 150};
inline constexpr const char* kViewFont = "Sans Serif";
inline constexpr int kViewLabelSize = 9;
inline constexpr int kViewTitleSize = 10;

// The panel's grid at the ticks of both axes (minor ticks of a log axis in lighter
// lines) and its frame.
void DrawPanel(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& x, const ViewAxis& y);
// Tick marks and labels below the box; returns the height they take.
int DrawXLabels(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& axis);
// Tick marks and labels left of the box, right-aligned; returns the width they take.
int DrawYLabels(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& axis);
// The widest label of an axis at the label size, with its tick mark and gap.
int YLabelsWidth(const PlotCanvas& canvas, const ViewAxis& axis);
// The title of a vertical axis, reading upwards, centred on the box's height, its
// right edge `offset` pixels left of the box.
void DrawYTitle(PlotCanvas& canvas, const ViewBox& box, int offset, const std::string& title);
// The title of a horizontal axis, centred below the box at `top`.
void DrawXTitle(PlotCanvas& canvas, const ViewBox& box, int top, const std::string& title);

// One line of a legend: a symbol and its text.
struct LegendEntry {
    enum class Symbol { Marker, MarkerWithBar, Line, None };
    Symbol Kind = Symbol::None;
    PlotColor Color = kViewText;
    PenStyle Style = PenStyle::Solid;
    std::string Text;
};
// A pixel the data occupy, which a legend should not hide.
struct PixelPoint {
    int X = 0;
    int Y = 0;
};
// The legend on a white ground in whichever corner of the box hides the fewest of the
// `occupied` pixels (top right when they tie); left out when it does not fit the box.
// Returns where it went (an empty box when it was left out).
ViewBox DrawLegend(PlotCanvas& canvas, const ViewBox& box,
                   const std::vector<LegendEntry>& entries,
                   const std::vector<PixelPoint>& occupied);

}  // namespace korvel
