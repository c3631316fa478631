// The views of a fit drawn on the recording canvas: the residual panel and its guides,
// the axis titles of the abscissa and ordinate choices, the profile with its start
// model, and the fitted-values table as CSV.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "EngineTestModels.h"
#include "RecordingCanvas.h"
#include "fit/FittedValues.h"
#include "output/FitView.h"
#include "output/FittedValuesView.h"
#include "output/ProfileView.h"
#include "output/SvgCanvas.h"
#include "output/ViewAxes.h"

namespace korvel {
namespace {

using testing::FillModel;
using testing::RecordedCircle;
using testing::RecordedLine;
using testing::RecordedText;
using testing::RecordingCanvas;
using testing::TestSample;

constexpr double kResiduals[] = {0.0, 2.0, -2.5, 0.5, 1.0, -1.0};

// Six points whose normalised residuals are kResiduals, all in the fitting window.
FitViewData SixPoints() {
    FitViewData data;
    data.Wavelength = 1.5406;
    for (int i = 0; i < 6; ++i) {
        const double fitted = 1e-2 * std::pow(10.0, -0.5 * i);
        const double sigma = 0.05 * fitted;
        data.Angle.push_back(0.3 + 0.2 * i);
        data.Fitted.push_back(fitted);
        data.Uncertainty.push_back(sigma);
        data.Measured.push_back(fitted + kResiduals[i] * sigma);
    }
    data.WindowFirst = 1;
    data.WindowLast = 6;
    data.ReducedChiSquare = 2.0;
    return data;
}

std::vector<RecordedLine> HorizontalGuides(const RecordingCanvas& canvas, PenStyle style) {
    std::vector<RecordedLine> guides;
    for (const RecordedLine& line : canvas.Lines)
        if (line.Color == kViewGuide && line.Style == style && line.Y1 == line.Y2)
            guides.push_back(line);
    return guides;
}

bool HasText(const RecordingCanvas& canvas, const std::string& text) {
    return std::any_of(canvas.Texts.begin(), canvas.Texts.end(),
                       [&](const RecordedText& t) { return t.Text == text; });
}

TEST(FitView, ResidualPanelPlacesEachPointAtItsNormalisedResidualAmongTheGuides) {
    RecordingCanvas canvas(720, 540);
    DrawFitView(canvas, SixPoints(), FitViewOptions{});
    const auto zero = HorizontalGuides(canvas, PenStyle::Solid);
    const auto ones = HorizontalGuides(canvas, PenStyle::Dashed);
    const auto threes = HorizontalGuides(canvas, PenStyle::Dotted);
    ASSERT_EQ(zero.size(), 1u);
    ASSERT_EQ(ones.size(), 2u);
    ASSERT_EQ(threes.size(), 2u);
    const int y0 = zero[0].Y1;
    const int plusOne = std::min(ones[0].Y1, ones[1].Y1);
    const double unit = y0 - plusOne;
    ASSERT_GT(unit, 5.0);
    // The guides lie at -1, +1 and -3, +3 around the zero line.
    EXPECT_NEAR(std::max(ones[0].Y1, ones[1].Y1) - y0, unit, 1.0);
    EXPECT_NEAR(y0 - std::min(threes[0].Y1, threes[1].Y1), 3.0 * unit, 1.5);
    EXPECT_NEAR(std::max(threes[0].Y1, threes[1].Y1) - y0, 3.0 * unit, 1.5);

    // Markers: six on the curve, the legend's, then six residuals.
    ASSERT_EQ(canvas.Circles.size(), 13u);
    for (int i = 0; i < 6; ++i) {
        const RecordedCircle& residual = canvas.Circles[7 + i];
        // Both the marker and the guide are rounded to whole pixels.
        EXPECT_NEAR((y0 - residual.Y) / unit, kResiduals[i], 2.0 / unit) << "point " << i + 1;
        // Upper panel markers sit above the residual panel, at the same abscissa.
        EXPECT_LT(canvas.Circles[i].Y, std::min(threes[0].Y1, threes[1].Y1));
        EXPECT_EQ(canvas.Circles[i].X, residual.X);
    }
}

TEST(FitView, WithoutTheResidualPanelNoGuideOrResidualIsDrawn) {
    RecordingCanvas canvas(720, 540);
    FitViewOptions options;
    options.Residuals = false;
    DrawFitView(canvas, SixPoints(), options);
    EXPECT_TRUE(HorizontalGuides(canvas, PenStyle::Dashed).empty());
    EXPECT_TRUE(HorizontalGuides(canvas, PenStyle::Dotted).empty());
    EXPECT_EQ(canvas.Circles.size(), 6u + 1u);  // the legend's marker
}

TEST(FitView, AxisTitlesFollowTheAbscissaAndOrdinateChosen) {
    FitViewData data = SixPoints();
    EXPECT_EQ(DefaultFitViewOptions(data).Abscissa, FitAbscissa::Angle);
    {
        RecordingCanvas canvas(720, 540);
        DrawFitView(canvas, data, DefaultFitViewOptions(data));
        EXPECT_TRUE(HasText(canvas, "Glancing angle \u03b8 (\u00b0)"));
        EXPECT_TRUE(HasText(canvas, "Reflectivity R"));
        EXPECT_TRUE(HasText(canvas, "(R \u2212 Rfit) / \u0394R"));
    }
    // Data given in Qz are shown in Qz, and R Qz^4 on request.
    data.QzInverseAngstrom = true;
    FitViewOptions options = DefaultFitViewOptions(data);
    EXPECT_EQ(options.Abscissa, FitAbscissa::Qz);
    options.QzFourth = true;
    RecordingCanvas canvas(720, 540);
    DrawFitView(canvas, data, options);
    EXPECT_TRUE(HasText(canvas, "Qz (\u00c5\u207b\u00b9)"));
    EXPECT_TRUE(HasText(canvas, "R\u00b7Qz\u2074 (\u00c5\u207b\u2074)"));
    // Without a wavelength there is no Qz: the view stays in angles.
    data.Wavelength = 0.0;
    EXPECT_EQ(DefaultFitViewOptions(data).Abscissa, FitAbscissa::Angle);
}

TEST(FitView, ANonPositiveOrNonFiniteValueLeavesItsPointOutAndTheDrawingWhole) {
    FitViewData data = SixPoints();
    data.Measured[2] = -1e-4;
    data.Fitted[3] = std::nan("");
    data.Uncertainty[4] = 0.0;
    RecordingCanvas canvas(720, 540);
    DrawFitView(canvas, data, FitViewOptions{});
    // Five curve markers (the negative measurement has none), the legend's, and four
    // residuals (none without a fitted value or a weight; the negative one is drawn).
    EXPECT_EQ(canvas.Circles.size(), 5u + 1u + 4u);
    for (const RecordedCircle& c : canvas.Circles) {
        EXPECT_GE(c.Y, 0);
        EXPECT_LE(c.Y, 540);
    }
}

LayerModel Film(double beta) {
    TestSample film;
    film.Top = {{200.0, 2.0e-5, beta, 4.0}};
    film.Substrate = {0.0, 7.6e-6, beta, 3.0};
    LayerModel model;
    FillModel(model, film);
    return model;
}

int UpwardTitles(const RecordingCanvas& canvas) {
    return static_cast<int>(std::count_if(canvas.Texts.begin(), canvas.Texts.end(),
                                          [](const RecordedText& t) { return t.Upwards; }));
}

TEST(ProfileView, TheStartModelIsDashedBesideTheFittedOne) {
    RecordingCanvas alone(720, 480);
    DrawProfileView(alone, {Film(1e-6), std::nullopt, 0});
    const auto dashed = [](const RecordingCanvas& c) {
        return std::count_if(c.Lines.begin(), c.Lines.end(),
                             [](const RecordedLine& l) { return l.Style == PenStyle::Dashed; });
    };
    EXPECT_EQ(dashed(alone), 0);
    EXPECT_EQ(UpwardTitles(alone), 2);  // delta and beta

    RecordingCanvas both(720, 480);
    DrawProfileView(both, {Film(1e-6), Film(2e-6), 0});
    EXPECT_GT(dashed(both), 0);
    EXPECT_TRUE(HasText(both, "Start"));
    EXPECT_TRUE(HasText(both, "Depth below the top surface (\u00c5)"));
}

TEST(ProfileView, AnAbsorptionFreeModelHasNoImaginaryPanelAndSldUnitsAreNamed) {
    RecordingCanvas canvas(720, 480);
    DrawProfileView(canvas, {Film(0.0), std::nullopt, 1});
    ASSERT_EQ(UpwardTitles(canvas), 1);
    const auto title = std::find_if(canvas.Texts.begin(), canvas.Texts.end(),
                                    [](const RecordedText& t) { return t.Upwards; });
    EXPECT_EQ(title->Text.rfind("SLD, real part", 0), 0u) << title->Text;
}

TEST(FittedValues, MarksAValueAtOrBeyondALimitOnly) {
    EXPECT_EQ(MarkOfLimits(5.0, 1.0, 10.0), LimitMark::None);
    EXPECT_EQ(MarkOfLimits(1.005, 1.0, 10.0), LimitMark::AtLower);
    EXPECT_EQ(MarkOfLimits(9.995, 1.0, 10.0), LimitMark::AtUpper);
    EXPECT_EQ(MarkOfLimits(0.5, 1.0, 10.0), LimitMark::AtLower);
    EXPECT_EQ(MarkOfLimits(1.02, 1.0, 10.0), LimitMark::None);
}

TEST(FittedValues, CsvReadsBackEveryValueAndLeavesAnUnestimatedUncertaintyEmpty) {
    FittedValuesTable table;
    table.ReducedChiSquare = 1.0502531;
    table.ResultFiles = {"/tmp/a,b/film.bst", "/tmp/film.pct"};
    table.Values = {{1, "Thickness:1", 235.0, 252.40123456789, 0.25, 200.0, 300.0,
                     LimitMark::None},
                    {4, "Roughness:1", 7.0, 1.0000001, std::nullopt, 1.0, 12.0,
                     LimitMark::AtLower}};
    EXPECT_EQ(FittedValuesCsv(table),
              "# reduced chi-square: 1.0502531\n"
              "# result file: /tmp/a,b/film.bst\n"
              "# result file: /tmp/film.pct\n"
              "name,start,fitted,uncertainty,lower,upper,at_limit\n"
              "Thickness:1,235,252.40123456789,0.25,200,300,\n"
              "Roughness:1,7,1.0000001,,1,12,lower\n");
}

TEST(SvgCanvas, DashedAndDottedPensDrawTheirPatternsAndASolidPenNone) {
    SvgCanvas canvas(100, 100);
    canvas.SetStyledPen(kPlotBlack, 2, PenStyle::Dashed);
    canvas.MoveTo(0, 0);
    canvas.LineTo(50, 0);
    canvas.SetStyledPen(kPlotBlack, 1, PenStyle::Dotted);
    canvas.LineTo(50, 50);
    canvas.SetPen(kPlotBlack, 1);
    canvas.LineTo(0, 50);
    const std::string svg = canvas.Document();
    EXPECT_NE(svg.find("stroke-dasharray=\"10 6\""), std::string::npos);
    EXPECT_NE(svg.find("stroke-dasharray=\"1 2\""), std::string::npos);
    EXPECT_EQ(svg.find("stroke-dasharray", svg.find("stroke-dasharray=\"1 2\"") + 1),
              std::string::npos);
}

}  // namespace
}  // namespace korvel
