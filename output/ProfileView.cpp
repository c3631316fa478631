// The profile view: one or two panels of density against depth.

#include "output/ProfileView.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/DensityProfile.h"
#include "input/ModelReader.h"
#include "output/SvgCanvas.h"
#include "output/ViewAxes.h"

namespace korvel {
namespace {

constexpr int kMargin = 10;
constexpr int kPanelGap = 12;
constexpr double kUpperShare = 0.6;

// A profile with its density columns in the file's units: the conversion from delta
// and beta is one factor per column.
DensityProfile ProfileInFileUnits(const LayerModel& model, int units,
                                  const std::vector<double>& depths) {
    DensityProfile profile = ComputeDensityProfile(model, depths);
    const double re = ToFileUnits(2, 1.0, units, model.Header.Wavelength);
    const double im = ToFileUnits(3, 1.0, units, model.Header.Wavelength);
    for (double& v : profile.ReDensity) v *= re;
    for (double& v : profile.ImDensity) v *= im;
    return profile;
}

// Depths to draw the profile at: one every three pixels or so, which draws the smooth
// parts as straight pieces between whole pixels, and around every interface enough more
// to draw its step: a sharp one exactly vertical, a rough one through its error function.
std::vector<double> SampleDepths(const ProfileViewData& data, const DepthRange& range,
                                 int width) {
    const int even = std::max(200, width / 3);
    std::vector<double> depths;
    for (int i = 0; i < even; ++i)
        depths.push_back(range.Top +
                         (range.Bottom - range.Top) * static_cast<double>(i) / (even - 1));
    const double sharp = 1e-9 * (range.Bottom - range.Top);
    for (const LayerModel* model : {&data.Model, data.Start ? &*data.Start : nullptr}) {
        if (!model) continue;
        for (const ProfileSlab& slab : ProfileSlabs(*model)) {
            const double sigma = slab.Roughness;
            if (sigma == 0.0) {
                depths.push_back(slab.Top - sharp);
                depths.push_back(slab.Top + sharp);
                continue;
            }
            for (double k : {-2.5, -1.5, -1.0, -0.5, 0.0, 0.5, 1.0, 1.5, 2.5})
                depths.push_back(slab.Top + k * sigma);
        }
    }
    std::erase_if(depths, [&](double z) { return z < range.Top || z > range.Bottom; });
    std::sort(depths.begin(), depths.end());
    return depths;
}

bool AllZero(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return v == 0.0; });
}

void DrawProfileCurve(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& x,
                      const ViewAxis& y, const std::vector<double>& depth,
                      const std::vector<double>& values, PlotColor color, PenStyle style,
                      std::vector<PixelPoint>& occupied, int penWidth = 2) {
    canvas.SetStyledPen(color, penWidth, style);
    bool drawing = false;
    for (std::size_t i = 0; i < depth.size(); ++i) {
        if (!std::isfinite(values[i])) {
            drawing = false;
            continue;
        }
        const int px = PixelX(x, box, depth[i]);
        const int py = std::clamp(PixelY(y, box, values[i]), box.Top, box.Bottom);
        if (drawing)
            canvas.LineTo(px, py);
        else
            canvas.MoveTo(px, py);
        drawing = true;
        occupied.push_back({px, py});
    }
}

// Dotted guides at the top surface and at the substrate's interface.
void DrawBoundaries(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& x, double bottom) {
    canvas.SetStyledPen(kViewGuide, 1, PenStyle::Dotted);
    for (double z : {0.0, bottom}) {
        const int px = PixelX(x, box, z);
        if (px <= box.Left || px >= box.Right) continue;
        canvas.MoveTo(px, box.Top + 1);
        canvas.LineTo(px, box.Bottom - 1);
    }
}

// "ambient" left of the top surface and "substrate" right of the substrate interface,
// at the top of the panel or else at its foot, where no curve runs.
void DrawRegionNames(PlotCanvas& canvas, const ViewBox& box, const ViewAxis& x, double bottom,
                     std::vector<PixelPoint>& occupied) {
    canvas.SetFont(kViewFont, kViewLabelSize, kViewGrey);
    const int height = canvas.TextHeight(kViewLabelSize);
    auto place = [&](const char* text, int left, int right) {
        const int width = canvas.TextWidth(text, kViewLabelSize);
        if (right - left < width + 8) return;
        const int x0 = left + (right - left - width) / 2;
        for (const int y0 : {box.Top + 3, box.Bottom - height - 3}) {
            const bool free = std::none_of(occupied.begin(), occupied.end(), [&](PixelPoint p) {
                return p.X >= x0 - 2 && p.X <= x0 + width + 2 && p.Y >= y0 - 2 &&
                       p.Y <= y0 + height + 2;
            });
            if (!free) continue;
            canvas.TextOut(x0, y0, text);
            for (int px = x0; px <= x0 + width; px += 4) occupied.push_back({px, y0 + height / 2});
            return;
        }
    };
    place("ambient", box.Left, PixelX(x, box, 0.0));
    place("substrate", PixelX(x, box, bottom), box.Right);
}

}  // namespace

DensityColumnNames DensityColumns(int densityUnits) {
    switch (densityUnits) {
        case 1:
            return {"SLD, real part", "\u00c5\u207b\u00b2", "SLD, imaginary part",
                    "\u00c5\u207b\u00b2"};
        case 2:
            return {"Electron density", "\u00c5\u207b\u00b3", "Electron density, imaginary",
                    "\u00c5\u207b\u00b3"};
        case 3:
            return {"Qc\u00b2", "\u00c5\u207b\u00b2", "\u03bc", "\u00c5\u207b\u00b9"};
        default:
            return {"\u03b4", "", "\u03b2", ""};
    }
}

void DrawProfileView(PlotCanvas& canvas, const ProfileViewData& data) {
    const int width = canvas.Width();
    const int height = canvas.Height();
    canvas.FillRect(0, 0, width, height, kPlotWhite);

    DepthRange range = ProfileDepthRange(data.Model);
    if (data.Start) {
        const DepthRange start = ProfileDepthRange(*data.Start);
        range.Top = std::min(range.Top, start.Top);
        range.Bottom = std::max(range.Bottom, start.Bottom);
    }
    const std::vector<double> depths = SampleDepths(data, range, width);
    const DensityProfile fitted = ProfileInFileUnits(data.Model, data.DensityUnits, depths);
    std::optional<DensityProfile> start;
    if (data.Start) start = ProfileInFileUnits(*data.Start, data.DensityUnits, depths);
    std::vector<DensityProfile> band;
    for (const LayerModel& model : data.Band)
        band.push_back(ProfileInFileUnits(model, data.DensityUnits, depths));
    const std::vector<ProfileSlab> slabs = ProfileSlabs(data.Model);
    const double substrateTop = slabs.back().Top;

    ValueRange reRange;
    ValueRange imRange;
    reRange.Add(0.0);
    imRange.Add(0.0);
    const DensityProfile* const shown[] = {&fitted, start ? &*start : nullptr};
    for (const DensityProfile* p : shown) {
        if (!p) continue;
        for (double v : p->ReDensity) reRange.Add(v);
        for (double v : p->ImDensity) imRange.Add(v);
    }
    for (const DensityProfile& p : band) {
        for (double v : p.ReDensity) reRange.Add(v);
        for (double v : p.ImDensity) imRange.Add(v);
    }
    // Head room for the legend above the curves.
    if ((start || !band.empty()) && !reRange.Empty) reRange.Add(reRange.High + 0.25 * (reRange.High - reRange.Low));
    const bool imaginary =
        !AllZero(fitted.ImDensity) || (start && !AllZero(start->ImDensity)) ||
        std::any_of(band.begin(), band.end(),
                    [](const DensityProfile& p) { return !AllZero(p.ImDensity); });

    const int labelHeight = canvas.TextHeight(kViewLabelSize);
    const int titleHeight = canvas.TextHeight(kViewTitleSize);
    const int top = kMargin;
    const int bottom = height - (4 + 3 + labelHeight + 6 + titleHeight + kMargin);
    const int shared = bottom - top - (imaginary ? kPanelGap : 0);
    ViewBox upper{0, top, 0, top + (imaginary ? static_cast<int>(shared * kUpperShare) : shared)};
    ViewBox lower{0, upper.Bottom + kPanelGap, 0, bottom};
    const ViewAxis reAxis = LinearAxis(reRange, 0.06, upper.Bottom - upper.Top,
                                       AxisDirection::Vertical, canvas, kViewLabelSize);
    const ViewAxis imAxis = LinearAxis(imRange, 0.06, lower.Bottom - lower.Top,
                                       AxisDirection::Vertical, canvas, kViewLabelSize);
    const int labelsWidth =
        std::max(YLabelsWidth(canvas, reAxis), imaginary ? YLabelsWidth(canvas, imAxis) : 0);
    const int left = kMargin + titleHeight + 6 + labelsWidth;
    upper.Left = lower.Left = left;
    upper.Right = lower.Right = width - 14;
    ValueRange depthRange;
    depthRange.Add(range.Top);
    depthRange.Add(range.Bottom);
    const ViewAxis depthAxis = LinearAxis(depthRange, 0.0, upper.Right - upper.Left,
                                          AxisDirection::Horizontal, canvas, kViewLabelSize);

    const DensityColumnNames names = DensityColumns(data.DensityUnits);
    std::vector<PixelPoint> occupied;
    auto panel = [&](const ViewBox& box, const ViewAxis& axis, bool real) {
        DrawPanel(canvas, box, depthAxis, axis);
        DrawBoundaries(canvas, box, depthAxis, substrateTop);
        std::vector<PixelPoint> unused;  // the legend may cover the band's faint lines
        for (const DensityProfile& p : band) {
            DrawProfileCurve(canvas, box, depthAxis, axis, depths,
                             real ? p.ReDensity : p.ImDensity, kViewLightBlue, PenStyle::Solid,
                             unused, 1);
        }
        if (start)
            DrawProfileCurve(canvas, box, depthAxis, axis, depths,
                             real ? start->ReDensity : start->ImDensity, kViewGrey,
                             PenStyle::Dashed, occupied);
        DrawProfileCurve(canvas, box, depthAxis, axis, depths,
                         real ? fitted.ReDensity : fitted.ImDensity, kViewBlue, PenStyle::Solid,
                         occupied);
        DrawYLabels(canvas, box, axis);
        DrawYTitle(canvas, box, labelsWidth + 6,
                   real ? AxisTitle(names.ReQuantity, names.ReUnit, axis.Exponent)
                        : AxisTitle(names.ImQuantity, names.ImUnit, axis.Exponent));
    };
    panel(upper, reAxis, true);
    if (start || !band.empty()) {
        using Symbol = LegendEntry::Symbol;
        std::vector<LegendEntry> entries = {{Symbol::Line, kViewBlue, PenStyle::Solid, "Fitted"}};
        if (start) entries.push_back({Symbol::Line, kViewGrey, PenStyle::Dashed, "Start"});
        if (!band.empty())
            entries.push_back({Symbol::Line, kViewLightBlue, PenStyle::Solid, "Posterior samples"});
        const ViewBox legend = DrawLegend(canvas, upper, entries, occupied);
        for (int x = legend.Left; x < legend.Right; x += 3)
            for (int y = legend.Top; y < legend.Bottom; y += 3) occupied.push_back({x, y});
    }
    DrawRegionNames(canvas, upper, depthAxis, substrateTop, occupied);
    ViewBox labelled = upper;
    if (imaginary) {
        occupied.clear();
        panel(lower, imAxis, false);
        labelled = lower;
    }
    const int labels = DrawXLabels(canvas, labelled, depthAxis);
    DrawXTitle(canvas, labelled, labelled.Bottom + labels + 6,
               "Depth below the top surface (\u00c5)");
}

std::string ProfileViewSvg(const ProfileViewData& data, int width, int height) {
    SvgCanvas canvas(width, height);
    DrawProfileView(canvas, data);
    return canvas.Document();
}

}  // namespace korvel
