#pragma once
// The plot canvas on a QImage: the plot window draws into an image and paints the
// image, so the plot survives being covered. "System" maps to a small sans-serif face.
// Coordinates are the image's device-independent pixels, so an image with a device
// pixel ratio of 2 takes the same drawing at twice the resolution. The views of a fit
// draw smoothed (antialiased); the program's plot draws plain pixels, as it always has.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include "output/Plot.h"

namespace korvel::gui {

class QtPlotCanvas : public PlotCanvas {
  public:
    explicit QtPlotCanvas(QImage& image, bool smooth = false);

    int Width() const override;
    int Height() const override;
    void FillRect(int left, int top, int right, int bottom, PlotColor color) override;
    void SetPen(PlotColor color, int width) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void SetFont(const std::string& name, int size, PlotColor color) override;
    void TextOut(int x, int y, const std::string& text) override;
    void SetStyledPen(PlotColor color, int width, PenStyle style) override;
    void FillCircle(int x, int y, int radius, PlotColor color) override;
    int TextWidth(const std::string& text, int size) const override;
    int TextHeight(int size) const override;
    void TextOutUpwards(int x, int y, const std::string& text) override;

    ~QtPlotCanvas() override;

  private:
    QFont FontOfSize(int size) const;
    // Smoothed drawing joins consecutive lines into one polyline, so that wide lines
    // meet cleanly and a dash pattern runs on along the whole line.
    void FlushLine();

    QImage& image_;
    QPainter painter_;
    QPen pen_;
    QColor textColor_;
    QPoint position_;
    bool smooth_ = false;
    QPolygonF line_;  // the polyline being joined (smoothed drawing)
};

}  // namespace korvel::gui
