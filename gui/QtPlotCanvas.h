#pragma once
// The plot canvas on a QImage: the plot window draws into an image and paints the
// image, so the plot survives being covered. "System" maps to a small sans-serif face.

#include <QFont>
#include <QImage>
#include <QPainter>

#include "output/Plot.h"

namespace korvel::gui {

class QtPlotCanvas : public PlotCanvas {
  public:
    explicit QtPlotCanvas(QImage& image);

    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    void FillRect(int left, int top, int right, int bottom, PlotColor color) override;
    void SetPen(PlotColor color, int width) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void SetFont(const std::string& name, int size, PlotColor color) override;
    void TextOut(int x, int y, const std::string& text) override;

  private:
    QImage& image_;
    QPainter painter_;
    QPen pen_;
    QColor textColor_;
    QPoint position_;
};

}  // namespace korvel::gui
