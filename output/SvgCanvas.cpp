// SVG output of the plot canvas. Coordinates are pixels; font sizes are points,
// turned into pixels at 96 dots per inch.

#include "output/SvgCanvas.h"

#include <cstdio>

#include "input/CurveArrays.h"

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
    body_ << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << right - left
          << "\" height=\"" << bottom - top << "\" fill=\"" << Rgb(color) << "\"/>\n";
}

void SvgCanvas::SetPen(PlotColor color, int width) {
    pen_ = color;
    penWidth_ = width;
}

void SvgCanvas::MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
}

void SvgCanvas::LineTo(int x, int y) {
    body_ << "<line x1=\"" << x_ << "\" y1=\"" << y_ << "\" x2=\"" << x << "\" y2=\"" << y
          << "\" stroke=\"" << Rgb(pen_) << "\" stroke-width=\"" << penWidth_
          << "\" stroke-linecap=\"square\"/>\n";
    x_ = x;
    y_ = y;
}

void SvgCanvas::SetFont(const std::string&, int size, PlotColor color) {
    fontSize_ = size;
    fontColor_ = color;
}

void SvgCanvas::TextOut(int x, int y, const std::string& text) {
    // The canvas places text by its top-left corner; SVG by its baseline.
    const double pixels = fontSize_ * 96.0 / 72.0;
    const int baseline = y + static_cast<int>(pixels * 0.9 + 0.5);
    body_ << "<text x=\"" << x << "\" y=\"" << baseline
          << "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" << pixels
          << "px\" fill=\"" << Rgb(fontColor_) << "\" xml:space=\"preserve\">" << Escaped(text)
          << "</text>\n";
}

std::string SvgCanvas::Document() const {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width_ << "\" height=\""
        << height_ << "\" viewBox=\"0 0 " << width_ << ' ' << height_ << "\">\n"
        << body_.str() << "</svg>\n";
    return out.str();
}

std::string PlotToSvg(const CurveArrays& curves, int width, int height) {
    SvgCanvas canvas(width, height);
    DrawPlot(canvas, curves);
    return canvas.Document();
}

}  // namespace korvel
