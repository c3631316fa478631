#pragma once
// A plot canvas that writes Scalable Vector Graphics: one <svg> document of the
// canvas size in pixels. Lines that continue one another with the same pen form one
// <polyline> (a curve of 30,000 points is one element between its breaks, not
// 30,000); every rectangle and text is its own element, in drawing order.

#include <sstream>
#include <string>
#include <vector>

#include "output/Plot.h"

namespace korvel {

class SvgCanvas : public PlotCanvas {
  public:
    SvgCanvas(int width, int height);

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void FillRect(int left, int top, int right, int bottom, PlotColor color) override;
    void SetPen(PlotColor color, int width) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void SetFont(const std::string& name, int size, PlotColor color) override;
    void TextOut(int x, int y, const std::string& text) override;
    void SetStyledPen(PlotColor color, int width, PenStyle style) override;
    void FillCircle(int x, int y, int radius, PlotColor color) override;
    void TextOutUpwards(int x, int y, const std::string& text) override;

    // The complete document, closing tag included.
    std::string Document() const;

  private:
    struct Point {
        int X = 0;
        int Y = 0;
    };
    // Writes the open polyline, if any, to the body.
    void ClosePolyline();
    std::string PolylineElement() const;

    int width_;
    int height_;
    PlotColor pen_ = kPlotBlack;
    int penWidth_ = 1;
    PenStyle penStyle_ = PenStyle::Solid;
    int x_ = 0;
    int y_ = 0;
    int fontSize_ = 8;
    PlotColor fontColor_ = kPlotBlack;
    std::ostringstream body_;
    std::vector<Point> polyline_;  // the open polyline; drawn with polylinePen_
    PlotColor polylinePen_ = kPlotBlack;
    int polylineWidth_ = 1;
    PenStyle polylineStyle_ = PenStyle::Solid;
};

// The whole plot of `curves` as an SVG document of the given size.
std::string PlotToSvg(const CurveArrays& curves, int width = 537, int height = 376);

}  // namespace korvel
