#pragma once
// A plot canvas that writes Scalable Vector Graphics: one <svg> document of the
// canvas size in pixels, each line and text as its own element.

#include <sstream>
#include <string>

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

    // The complete document, closing tag included.
    std::string Document() const;

  private:
    int width_;
    int height_;
    PlotColor pen_ = kPlotBlack;
    int penWidth_ = 1;
    int x_ = 0;
    int y_ = 0;
    int fontSize_ = 8;
    PlotColor fontColor_ = kPlotBlack;
    std::ostringstream body_;
};

// The whole plot of `curves` as an SVG document of the given size.
std::string PlotToSvg(const CurveArrays& curves, int width = 537, int height = 376);

}  // namespace korvel
