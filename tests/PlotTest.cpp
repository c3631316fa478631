#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "model/CurveArrays.h"
#include "output/Plot.h"
#include "output/SvgCanvas.h"
#include "tests/RecordingCanvas.h"

using namespace korvel;
using korvel::testing::RecordingCanvas;

namespace {

// Points (angle, measured, computed).
CurveArrays Curves(std::initializer_list<std::array<double, 3>> points) {
    CurveArrays c;
    c.Resize(static_cast<std::uint16_t>(points.size()));
    int i = 0;
    for (const auto& p : points) {
        c.Angle[i] = p[0];
        c.MeasuredIntensity[i] = p[1];
        c.SmearedCurve[i] = p[2];
        ++i;
    }
    return c;
}

// Vertical grey grid lines of the X axis, by their x pixel.
std::vector<int> XGrid(const RecordingCanvas& canvas) {
    std::vector<int> xs;
    for (const auto& l : canvas.LinesOf(kPlotGrey))
        if (l.X1 == l.X2) xs.push_back(l.X1);
    return xs;
}

std::vector<std::string> TextsAtY(const RecordingCanvas& canvas, int y) {
    std::vector<std::string> out;
    for (const auto& t : canvas.Texts)
        if (t.Y == y) out.push_back(t.Text);
    return out;
}

std::vector<std::string> TextsAtX(const RecordingCanvas& canvas, int x) {
    std::vector<std::string> out;
    for (const auto& t : canvas.Texts)
        if (t.X == x) out.push_back(t.Text);
    return out;
}

}  // namespace

TEST(PlotNumbers, RoundsHalvesToEven) {
    EXPECT_EQ(PlotRound(2.5), 2);
    EXPECT_EQ(PlotRound(3.5), 4);
    EXPECT_EQ(PlotRound(-2.5), -2);
    EXPECT_EQ(PlotRound(2.6), 3);
}

TEST(PlotNumbers, WritesTickLabelsAndExponentTitles) {
    EXPECT_EQ(PlotTickLabel(2.5), " 2.50");
    EXPECT_EQ(PlotTickLabel(-7), "-7.00");
    EXPECT_EQ(PlotTickLabel(10), "10.00");
    EXPECT_EQ(PlotExponentText(2), "+2");
    EXPECT_EQ(PlotExponentText(-3), "-3");
    EXPECT_EQ(PlotExponentText(12), "+12");
    EXPECT_EQ(PlotExponentText(-12), "-12");
}

TEST(PlotNumbers, ZeroIntensityCountsAsMinus38AndNegativeAsItsMagnitude) {
    EXPECT_DOUBLE_EQ(PlotLog(0.0), -38.0);
    EXPECT_DOUBLE_EQ(PlotLog(-100.0), 2.0);
}

TEST(PlotBox, FollowsTheWindowSizeWithTopRoundedHalfToEven) {
    // H = 370: T = round(18.5) = 18; H = 390: T = round(19.5) = 20.
    for (auto [height, top] : {std::pair{370, 18}, std::pair{390, 20}}) {
        RecordingCanvas canvas(537, height);
        DrawPlot(canvas, Curves({{0, 1e-1, 1e-1}, {5, 1e-3, 1e-3}}));
        const auto frame = canvas.Lines.front();
        EXPECT_EQ(frame.Color, kPlotBlack);
        EXPECT_EQ(frame.Width, 2);
        EXPECT_EQ(frame.Y1, top);
        EXPECT_EQ(frame.X1, 107);  // round(537 * 0.2)
        EXPECT_EQ(frame.X2, 537 - 107);
        EXPECT_EQ(canvas.Lines[1].Y2, height - 2 * top);
    }
}

TEST(PlotBox, NarrowWindowKeepsTheLeftMarginAtLeast61) {
    RecordingCanvas canvas(200, 150);
    DrawPlot(canvas, Curves({{0, 1e-1, 1e-1}, {5, 1e-3, 1e-3}}));
    EXPECT_EQ(canvas.Lines.front().X1, 61);
    for (const auto& t : canvas.Texts) EXPECT_GE(t.X, 0) << t.Text;
}

TEST(PlotBox, ClearsTheWholeCanvasWhite) {
    RecordingCanvas canvas(300, 200);
    DrawPlot(canvas, Curves({{0, 1, 1}, {1, 2, 2}}));
    ASSERT_EQ(canvas.Fills.size(), 1u);
    EXPECT_EQ(canvas.Fills[0].X2, 300);
    EXPECT_EQ(canvas.Fills[0].Y2, 200);
    EXPECT_EQ(canvas.Fills[0].Color, kPlotWhite);
}

TEST(PlotAxes, AnglesFromZeroToFiveTickEveryDegreeAndLabelEverySecond) {
    RecordingCanvas canvas(537, 376);
    DrawPlot(canvas, Curves({{0, 1e-1, 1e-1}, {5, 1e-3, 1e-3}}));
    // Box 107..430 over 0..5 degrees: ticks 1, 2, 3, 4.
    const std::vector<int> expected{107 + PlotRound(323 / 5.0), 107 + PlotRound(2 * 323 / 5.0),
                                    107 + PlotRound(3 * 323 / 5.0), 107 + PlotRound(4 * 323 / 5.0)};
    EXPECT_EQ(XGrid(canvas), expected);
    const int labelY = 338 + 8;
    EXPECT_EQ(TextsAtY(canvas, labelY), (std::vector<std::string>{" 2.00", " 4.00"}));
    EXPECT_EQ(canvas.FindText(" 2.00")->X, expected[1] - 20);
    for (const auto& t : canvas.Texts) EXPECT_NE(t.Text.rfind("X*E", 0), 0u);
    for (const auto& l : canvas.LinesOf(kPlotGrey))
        if (l.X1 == l.X2) {
            EXPECT_EQ(l.Y1, 19);
            EXPECT_EQ(l.Y2, 338 + 5);
        }
}

TEST(PlotAxes, LogIntensitiesFromMinus7Point3To0Point1LabelEveryTick) {
    RecordingCanvas canvas(537, 376);
    DrawPlot(canvas, Curves({{0, std::pow(10.0, -7.3), std::pow(10.0, -7.3)},
                             {1, std::pow(10.0, 0.1), 1}}));
    const auto labels = TextsAtX(canvas, 107 - 50);
    EXPECT_EQ(labels, (std::vector<std::string>{"-7.00", "-6.00", "-5.00", "-4.00", "-3.00",
                                                "-2.00", "-1.00", " 0.00"}));
    for (const auto& t : canvas.Texts) EXPECT_NE(t.Text.rfind("Y*E", 0), 0u);
    // The grid line of tick 0 lies 0.1 of the 7.4 span below the top.
    const int y0 = PlotRound((0.0 + 7.3) * (19 - 338) / 7.4) + 338;
    EXPECT_EQ(canvas.FindText(" 0.00")->Y, y0 - 4);
}

TEST(PlotAxes, SmallAngleSpanGetsTheExponentTitle) {
    RecordingCanvas canvas(537, 376);
    DrawPlot(canvas, Curves({{0.25, 1e-1, 1e-1}, {0.95, 1e-3, 1e-3}}));
    EXPECT_EQ(XGrid(canvas).size(), 7u);  // 0.3 .. 0.9
    EXPECT_EQ(TextsAtY(canvas, 346),
              (std::vector<std::string>{" 4.00", " 6.00", " 8.00", "X*E-1"}));
    const auto* title = canvas.FindText("X*E-1");
    ASSERT_NE(title, nullptr);
    // The latest label ends 20 pixels right of the 0.8 tick, far from R: title at R.
    EXPECT_EQ(title->X, 430);
}

TEST(PlotAxes, TitleMovesRightOfALabelThatEndsNearTheBox) {
    // W = 250: box 61 .. 189; the label of tick 0.8 sits at 162 - 20 and ends at 182,
    // less than 10 pixels before R, so the title goes 10 pixels right of it.
    RecordingCanvas canvas(250, 376);
    DrawPlot(canvas, Curves({{0.25, 1e-1, 1e-1}, {0.95, 1e-3, 1e-3}}));
    ASSERT_NE(canvas.FindText(" 8.00"), nullptr);
    EXPECT_EQ(canvas.FindText(" 8.00")->X, 142);
    ASSERT_NE(canvas.FindText("X*E-1"), nullptr);
    EXPECT_EQ(canvas.FindText("X*E-1")->X, 192);
}

TEST(PlotRanges, EqualAnglesSpreadFromHalfToOneAndAHalfTimes) {
    PlotAxis x, y;
    ASSERT_TRUE(PlotRanges(Curves({{2, 1e-1, 1e-2}, {2, 1e-3, 1e-3}}), x, y));
    EXPECT_DOUBLE_EQ(x.Minimum, 1.0);
    EXPECT_DOUBLE_EQ(x.Maximum, 3.0);
}

TEST(PlotRanges, ZeroIntensityStretchesTheRangeDownToMinus38) {
    PlotAxis x, y;
    const auto curves = Curves({{0, 0.0, 1e-2}, {1, 1e-3, 1e-1}});
    ASSERT_TRUE(PlotRanges(curves, x, y));
    EXPECT_DOUBLE_EQ(y.Minimum, -38.0);
    RecordingCanvas canvas(537, 376);
    DrawPlot(canvas, curves);
    const auto blue = canvas.LinesOf(kPlotBlue);
    ASSERT_EQ(blue.size(), 1u);
    EXPECT_EQ(blue[0].Y1, 338);  // the bottom of the box
}

TEST(PlotRanges, EqualZeroOrNegativeValuesGetAPositiveSpan) {
    PlotAxis x, y;
    ASSERT_TRUE(PlotRanges(Curves({{0, 1, 1}, {0, 1, 1}}), x, y));
    EXPECT_LT(x.Minimum, x.Maximum);
    EXPECT_DOUBLE_EQ(y.Minimum, -1.0);  // lg 1 = 0 everywhere
    EXPECT_DOUBLE_EQ(y.Maximum, 1.0);
    ASSERT_TRUE(PlotRanges(Curves({{-2, 1e-2, 1e-2}, {-2, 1e-2, 1e-2}}), x, y));
    EXPECT_DOUBLE_EQ(x.Minimum, -3.0);
    EXPECT_DOUBLE_EQ(x.Maximum, -1.0);
    EXPECT_DOUBLE_EQ(y.Minimum, -3.0);
    EXPECT_DOUBLE_EQ(y.Maximum, -1.0);
}

TEST(PlotRanges, NonFiniteValuesNeitherWidenTheRangeNorReachTheCanvas) {
    const double inf = std::numeric_limits<double>::infinity();
    const auto curves = Curves({{0, 1e-1, 1e-1}, {1, inf, std::nan("")}, {2, 1e-3, 1e-3}});
    PlotAxis x, y;
    ASSERT_TRUE(PlotRanges(curves, x, y));
    EXPECT_DOUBLE_EQ(y.Maximum, -1.0);
    RecordingCanvas canvas(537, 376);
    DrawPlot(canvas, curves);
    EXPECT_TRUE(canvas.LinesOf(kPlotBlue).empty());  // the middle point breaks both lines
    EXPECT_TRUE(canvas.LinesOf(kPlotRed).empty());
}

TEST(PlotTicks, MantissaPicksTheStepFactor) {
    PlotAxis a;
    a.Minimum = 0;
    a.Maximum = 2;  // mantissa 2: quarter steps
    ASSERT_TRUE(PlotTicks(a));
    EXPECT_DOUBLE_EQ(a.StepFactor, 0.25);
    a.Maximum = 3.6;  // 4: half steps
    ASSERT_TRUE(PlotTicks(a));
    EXPECT_DOUBLE_EQ(a.StepFactor, 0.5);
    a.Maximum = 0.1;  // exact negative decade: e = -2, mantissa 10
    ASSERT_TRUE(PlotTicks(a));
    EXPECT_EQ(a.Exponent, -2);
    EXPECT_DOUBLE_EQ(a.StepFactor, 1.0);
    a.Minimum = -0.2;  // between -1 and 0 steps (of 0.5): k0 = 0 becomes 1, skipping 0
    a.Maximum = 3;
    ASSERT_TRUE(PlotTicks(a));
    EXPECT_EQ(a.FirstMultiple, 1);
}

TEST(PlotCurves, JoinsPointsInArrayOrderInTheirColours) {
    RecordingCanvas canvas(537, 376);
    DrawPlot(canvas, Curves({{0, 1e-1, 1e-2}, {2, 1e-3, 1e-3}, {1, 1e-2, 1e-1}}));
    const auto blue = canvas.LinesOf(kPlotBlue);
    const auto red = canvas.LinesOf(kPlotRed);
    ASSERT_EQ(blue.size(), 2u);
    ASSERT_EQ(red.size(), 2u);
    EXPECT_EQ(blue[0].X1, 107);
    EXPECT_EQ(blue[0].X2, 430);
    EXPECT_EQ(blue[1].X2, PlotRound(323 / 2.0) + 107);
    EXPECT_EQ(blue[0].Width, 1);
}

TEST(PlotLegend, NamesBothCurvesInTheirColoursRightOfTheBox) {
    RecordingCanvas canvas(537, 376);
    DrawPlot(canvas, CurveArrays{});
    const auto* experiment = canvas.FindText("Experiment");
    const auto* calculation = canvas.FindText("Calculation");
    ASSERT_NE(experiment, nullptr);
    ASSERT_NE(calculation, nullptr);
    EXPECT_EQ(experiment->X, 440);
    EXPECT_EQ(experiment->Y, 19 + 15);
    EXPECT_EQ(calculation->Y, 19 + 45);
    EXPECT_EQ(experiment->Color, kPlotBlue);
    EXPECT_EQ(calculation->Color, kPlotRed);
    EXPECT_EQ(experiment->Font, "System");
    EXPECT_EQ(experiment->Size, 8);
    EXPECT_EQ(canvas.Lines.size(), 4u);  // an empty plot is only its frame
}

// The line segments of every <polyline> of an SVG document, in document order, with
// the stroke colour as "#rrggbb" and the width.
struct SvgSegment {
    int X1, Y1, X2, Y2;
    std::string Stroke;
    int Width;
    bool operator==(const SvgSegment&) const = default;
};

std::string Attribute(const std::string& element, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const auto start = element.find(key) + key.size();
    return element.substr(start, element.find('"', start) - start);
}

std::vector<std::vector<SvgSegment>> Polylines(const std::string& svg) {
    std::vector<std::vector<SvgSegment>> polylines;
    for (auto p = svg.find("<polyline"); p != std::string::npos; p = svg.find("<polyline", p + 1)) {
        const std::string element = svg.substr(p, svg.find("/>", p) - p);
        std::istringstream points(Attribute(element, "points"));
        std::vector<std::array<int, 2>> xy;
        int x = 0, y = 0;
        char comma = 0;
        while (points >> x >> comma >> y) xy.push_back({x, y});
        const std::string stroke = Attribute(element, "stroke");
        const int width = std::stoi(Attribute(element, "stroke-width"));
        std::vector<SvgSegment> segments;
        for (std::size_t i = 1; i < xy.size(); ++i)
            segments.push_back({xy[i - 1][0], xy[i - 1][1], xy[i][0], xy[i][1], stroke, width});
        polylines.push_back(segments);
    }
    return polylines;
}

std::string Hex(PlotColor c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.Red, c.Green, c.Blue);
    return text;
}

TEST(SvgCanvas, DrawsEveryLineOnceWithOnePolylinePerUnbrokenCurveAndEscapesText) {
    // The fourth point has no logarithm: both curves break there.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto curves = Curves({{0, 1e-1, 1e-2}, {1, 1e-2, 2e-3}, {2, 1e-3, 1e-3},
                                {3, nan, nan}, {4, 1e-4, 1e-4}, {5, 1e-5, 1e-6}});
    RecordingCanvas recording(537, 376);
    DrawPlot(recording, curves);
    const std::string svg = PlotToSvg(curves);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("width=\"537\" height=\"376\""), std::string::npos);
    EXPECT_EQ(svg.find("<line"), std::string::npos);

    // The same drawing: the polylines' segments are the canvas calls, in their order.
    std::vector<SvgSegment> drawn;
    int blue = 0, red = 0;
    for (const auto& polyline : Polylines(svg)) {
        drawn.insert(drawn.end(), polyline.begin(), polyline.end());
        blue += polyline.front().Stroke == "#0000ff";
        red += polyline.front().Stroke == "#ff0000";
    }
    std::vector<SvgSegment> recorded;
    for (const auto& l : recording.Lines)
        recorded.push_back({l.X1, l.Y1, l.X2, l.Y2, Hex(l.Color), l.Width});
    EXPECT_EQ(drawn, recorded);
    EXPECT_EQ(blue, 2);  // each curve in two pieces, around the break
    EXPECT_EQ(red, 2);
    EXPECT_EQ(Polylines(svg).front().size(), 4u);  // the frame is one polyline
    EXPECT_NE(svg.find(">Calculation</text>"), std::string::npos);
    SvgCanvas canvas(10, 10);
    canvas.TextOut(0, 0, "a<b&c");
    EXPECT_NE(canvas.Document().find("a&lt;b&amp;c"), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");

    // A 30,000-point curve is two elements, not 60,000.
    CurveArrays many;
    many.Resize(30000);
    for (int i = 0; i < 30000; ++i) {
        many.Angle[i] = 0.001 * i;
        many.MeasuredIntensity[i] = std::exp(-0.001 * i) * (1.0 + 0.3 * std::sin(i));
        many.SmearedCurve[i] = std::exp(-0.001 * i);
    }
    const std::string large = PlotToSvg(many);
    EXPECT_LT(large.size(), 700000u);
    int curvePolylines = 0;
    for (const auto& polyline : Polylines(large))
        curvePolylines += polyline.front().Stroke == "#0000ff" || polyline.front().Stroke == "#ff0000";
    EXPECT_EQ(curvePolylines, 2);
}
