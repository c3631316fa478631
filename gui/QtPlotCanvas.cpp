// QPainter implementation of the plot canvas.

#include "gui/QtPlotCanvas.h"

#include <QFontMetrics>

namespace korvel::gui {
namespace {

QColor ToQColor(PlotColor c) { return QColor(c.Red, c.Green, c.Blue); }

}  // namespace

QtPlotCanvas::QtPlotCanvas(QImage& image, bool smooth)
    : image_(image), painter_(&image), smooth_(smooth) {
    painter_.setBackground(Qt::white);
    painter_.setBackgroundMode(smooth ? Qt::TransparentMode : Qt::OpaqueMode);
    if (smooth) painter_.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    pen_ = QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter_.setPen(pen_);
    // Text measured before the first SetFont is measured in the face the views use.
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    painter_.setFont(font);
}

QtPlotCanvas::~QtPlotCanvas() { FlushLine(); }

void QtPlotCanvas::FlushLine() {
    if (line_.size() >= 2) {
        painter_.setPen(pen_);
        painter_.drawPolyline(line_);
    }
    line_.clear();
}

int QtPlotCanvas::Width() const {
    return static_cast<int>(image_.deviceIndependentSize().width() + 0.5);
}

int QtPlotCanvas::Height() const {
    return static_cast<int>(image_.deviceIndependentSize().height() + 0.5);
}

void QtPlotCanvas::FillRect(int left, int top, int right, int bottom, PlotColor color) {
    FlushLine();
    const bool smooth = painter_.testRenderHint(QPainter::Antialiasing);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), ToQColor(color));
    painter_.setRenderHint(QPainter::Antialiasing, smooth);
}

void QtPlotCanvas::SetPen(PlotColor color, int width) {
    SetStyledPen(color, width, PenStyle::Solid);
}

void QtPlotCanvas::SetStyledPen(PlotColor color, int width, PenStyle style) {
    FlushLine();
    pen_.setColor(ToQColor(color));
    pen_.setWidth(width);
    switch (style) {
        case PenStyle::Solid:
            pen_.setStyle(Qt::SolidLine);
            pen_.setCapStyle(smooth_ ? Qt::FlatCap : Qt::SquareCap);
            break;
        case PenStyle::Dashed:
            pen_.setDashPattern({5.0, 3.0});
            pen_.setCapStyle(Qt::FlatCap);
            break;
        case PenStyle::Dotted:
            pen_.setDashPattern({1.0, 2.0});
            pen_.setCapStyle(Qt::FlatCap);
            break;
    }
    pen_.setJoinStyle(smooth_ ? Qt::RoundJoin : Qt::MiterJoin);
    painter_.setPen(pen_);
}

void QtPlotCanvas::MoveTo(int x, int y) {
    if (smooth_ && QPoint(x, y) != position_) FlushLine();
    position_ = QPoint(x, y);
}

void QtPlotCanvas::LineTo(int x, int y) {
    if (smooth_) {
        // Through the pixels' centres, as the plain drawing places its lines.
        if (line_.isEmpty()) line_ << QPointF(position_) + QPointF(0.5, 0.5);
        line_ << QPointF(x + 0.5, y + 0.5);
    } else {
        painter_.setPen(pen_);
        painter_.drawLine(position_, QPoint(x, y));
    }
    position_ = QPoint(x, y);
}

void QtPlotCanvas::FillCircle(int x, int y, int radius, PlotColor color) {
    FlushLine();
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(ToQColor(color));
    painter_.drawEllipse(QPointF(x + 0.5, y + 0.5), radius + 0.5, radius + 0.5);
    painter_.setBrush(Qt::NoBrush);
    painter_.setPen(pen_);
}

QFont QtPlotCanvas::FontOfSize(int size) const {
    QFont font = painter_.font();
    font.setPointSize(size);
    return font;
}

void QtPlotCanvas::SetFont(const std::string& name, int size, PlotColor color) {
    QFont font(name == "System" ? QStringLiteral("Sans Serif") : QString::fromStdString(name));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(size);
    painter_.setFont(font);
    textColor_ = ToQColor(color);
}

int QtPlotCanvas::TextWidth(const std::string& text, int size) const {
    // Measured on the image, so that the font's resolution is the drawing's.
    return QFontMetrics(FontOfSize(size), &image_).horizontalAdvance(QString::fromStdString(text));
}

int QtPlotCanvas::TextHeight(int size) const {
    return QFontMetrics(FontOfSize(size), &image_).height();
}

void QtPlotCanvas::TextOut(int x, int y, const std::string& text) {
    FlushLine();
    painter_.setPen(textColor_);
    const QString s = QString::fromStdString(text);
    const QFontMetrics metrics(painter_.font());
    const QRect box(x, y, metrics.horizontalAdvance(s) + 1, metrics.height());
    painter_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, s);
    painter_.setPen(pen_);
}

void QtPlotCanvas::TextOutUpwards(int x, int y, const std::string& text) {
    FlushLine();
    painter_.setPen(textColor_);
    const QString s = QString::fromStdString(text);
    const QFontMetrics metrics(painter_.font());
    const int width = metrics.horizontalAdvance(s) + 1;
    const int height = metrics.height();
    painter_.save();
    painter_.translate(x, y);
    painter_.rotate(-90.0);
    painter_.drawText(QRect(-width / 2, -height / 2, width, height),
                      Qt::AlignCenter | Qt::TextDontClip, s);
    painter_.restore();
    painter_.setPen(pen_);
}

}  // namespace korvel::gui
