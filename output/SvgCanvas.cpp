// SVG output of the plot canvas. Coordinates are pixels; font sizes are points,
// turned into pixels at 96 dots per inch.

#include "output/SvgCanvas.h"

#include <cstdio>

#include "model/CurveArrays.h"

namespace korvel {
namespace {

std::string Rgb(PlotColor c) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.Red, c.Green, c.Blue);
    return buffer;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

SvgCanvas::SvgCanvas(int width, int height) : width_(width), height_(height) {}

void SvgCanvas::FillRect(int left, int top, int right, int bottom, PlotColor color) {
    ClosePolyline();
    body_ << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << right - left
          << "\" height=\"" << bottom - top << "\" fill=\"" << Rgb(color) << "\"/>\n";
}

void SvgCanvas::SetPen(PlotColor color, int width) {
    pen_ = color;
    penWidth_ = width;
    penStyle_ = PenStyle::Solid;
}

void SvgCanvas::SetStyledPen(PlotColor color, int width, PenStyle style) {
    SetPen(color, width);
    penStyle_ = style;
}

void SvgCanvas::FillCircle(int x, int y, int radius, PlotColor color) {
    ClosePolyline();
    body_ << "<circle cx=\"" << x << "\" cy=\"" << y << "\" r=\"" << radius << "\" fill=\""
          << Rgb(color) << "\"/>\n";
}

void SvgCanvas::MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
}

void SvgCanvas::LineTo(int x, int y) {
    // A line continues the open polyline when it starts where that one ends, with its pen.
    const bool continues = !polyline_.empty() && polyline_.back().X == x_ &&
                           polyline_.back().Y == y_ && polylinePen_ == pen_ &&
                           polylineWidth_ == penWidth_ && polylineStyle_ == penStyle_;
    if (!continues) {
        ClosePolyline();
        polyline_.push_back({x_, y_});
        polylinePen_ = pen_;
        polylineWidth_ = penWidth_;
        polylineStyle_ = penStyle_;
    }
    polyline_.push_back({x, y});
    x_ = x;
    y_ = y;
}

// Square caps as the separate lines had; the default mitre join covers the same
// corner as two square caps meeting at a right angle (the frame).
std::string SvgCanvas::PolylineElement() const {
    if (polyline_.empty()) return {};
    std::ostringstream element;
    element << "<polyline points=\"";
    for (std::size_t i = 0; i < polyline_.size(); ++i)
        element << (i == 0 ? "" : " ") << polyline_[i].X << ',' << polyline_[i].Y;
    element << "\" fill=\"none\" stroke=\"" << Rgb(polylinePen_) << "\" stroke-width=\""
            << polylineWidth_;
    // Dashes and dots in multiples of the pen width, with ends cut square at the pattern.
    if (polylineStyle_ == PenStyle::Dashed)
        element << "\" stroke-dasharray=\"" << 5 * polylineWidth_ << ' ' << 3 * polylineWidth_
                << "\" stroke-linecap=\"butt\"/>\n";
    else if (polylineStyle_ == PenStyle::Dotted)
        element << "\" stroke-dasharray=\"" << polylineWidth_ << ' ' << 2 * polylineWidth_
                << "\" stroke-linecap=\"butt\"/>\n";
    else
        element << "\" stroke-linecap=\"square\"/>\n";
    return element.str();
}

void SvgCanvas::ClosePolyline() {
    body_ << PolylineElement();
    polyline_.clear();
}

void SvgCanvas::SetFont(const std::string&, int size, PlotColor color) {
    fontSize_ = size;
    fontColor_ = color;
}

void SvgCanvas::TextOut(int x, int y, const std::string& text) {
    ClosePolyline();
    // The canvas places text by its top-left corner; SVG by its baseline.
    const double pixels = fontSize_ * 96.0 / 72.0;
    const int baseline = y + static_cast<int>(pixels * 0.9 + 0.5);
    body_ << "<text x=\"" << x << "\" y=\"" << baseline
          << "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" << pixels
          << "px\" fill=\"" << Rgb(fontColor_) << "\" xml:space=\"preserve\">" << Escaped(text)
          << "</text>\n";
}

void SvgCanvas::TextOutUpwards(int x, int y, const std::string& text) {
    ClosePolyline();
    // Centred along its line; the baseline a third of the font size right of the centre,
    // so the letters' bodies sit across it.
    const double pixels = fontSize_ * 96.0 / 72.0;
    const int baseline = y + static_cast<int>(pixels * 0.35 + 0.5);
    body_ << "<text x=\"" << x << "\" y=\"" << baseline << "\" transform=\"rotate(-90 " << x
          << ' ' << y << ")\" text-anchor=\"middle\""
          << " font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" << pixels
          << "px\" fill=\"" << Rgb(fontColor_) << "\" xml:space=\"preserve\">" << Escaped(text)
          << "</text>\n";
}

std::string SvgCanvas::Document() const {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width_ << "\" height=\""
        << height_ << "\" viewBox=\"0 0 " << width_ << ' ' << height_ << "\">\n"
        << body_.str() << PolylineElement() << "</svg>\n";
    return out.str();
}

std::string PlotToSvg(const CurveArrays& curves, int width, int height) {
    SvgCanvas canvas(width, height);
    DrawPlot(canvas, curves);
    return canvas.Document();
}

}  // namespace korvel
