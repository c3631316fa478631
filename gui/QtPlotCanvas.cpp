// QPainter implementation of the plot canvas.

#include "gui/QtPlotCanvas.h"

#include <QFontMetrics>

namespace korvel::gui {
namespace {

QColor ToQColor(PlotColor c) { return QColor(c.Red, c.Green, c.Blue); }

}  // namespace

QtPlotCanvas::QtPlotCanvas(QImage& image) : image_(image), painter_(&image) {
    painter_.setBackground(Qt::white);
    painter_.setBackgroundMode(Qt::OpaqueMode);
    pen_ = QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter_.setPen(pen_);
}

void QtPlotCanvas::FillRect(int left, int top, int right, int bottom, PlotColor color) {
    painter_.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), ToQColor(color));
}

void QtPlotCanvas::SetPen(PlotColor color, int width) {
    pen_.setColor(ToQColor(color));
    pen_.setWidth(width);
    pen_.setStyle(Qt::SolidLine);
    painter_.setPen(pen_);
}

void QtPlotCanvas::MoveTo(int x, int y) { position_ = QPoint(x, y); }

void QtPlotCanvas::LineTo(int x, int y) {
    painter_.setPen(pen_);
    painter_.drawLine(position_, QPoint(x, y));
    position_ = QPoint(x, y);
}

void QtPlotCanvas::SetFont(const std::string& name, int size, PlotColor color) {
    QFont font(name == "System" ? QStringLiteral("Sans Serif") : QString::fromStdString(name));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(size);
    painter_.setFont(font);
    textColor_ = ToQColor(color);
}

void QtPlotCanvas::TextOut(int x, int y, const std::string& text) {
    painter_.setPen(textColor_);
    const QString s = QString::fromStdString(text);
    const QFontMetrics metrics(painter_.font());
    const QRect box(x, y, metrics.horizontalAdvance(s) + 1, metrics.height());
    painter_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, s);
    painter_.setPen(pen_);
}

}  // namespace korvel::gui
