#pragma once
// A plot canvas for tests: remembers every line, disc and text with the pen or font
// in force, so a test can ask what was drawn where. Text is measured by the canvas's
// default estimate.

#include <string>
#include <vector>

#include "output/Plot.h"

namespace korvel::testing {

struct RecordedLine {
    int X1, Y1, X2, Y2;
    PlotColor Color;
    int Width;
    PenStyle Style = PenStyle::Solid;
};

struct RecordedText {
    int X, Y;
    std::string Text;
    std::string Font;
    int Size;
    PlotColor Color;
    bool Upwards = false;  // TextOutUpwards: X, Y is the centre
};

struct RecordedCircle {
    int X, Y, Radius;
    PlotColor Color;
};

class RecordingCanvas : public PlotCanvas {
  public:
    RecordingCanvas(int width, int height) : width_(width), height_(height) {}

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void FillRect(int left, int top, int right, int bottom, PlotColor color) override {
        Fills.push_back({left, top, right, bottom, color, 0});
    }
    void SetPen(PlotColor color, int width) override {
        pen_ = color;
        penWidth_ = width;
        penStyle_ = PenStyle::Solid;
    }
    void SetStyledPen(PlotColor color, int width, PenStyle style) override {
        SetPen(color, width);
        penStyle_ = style;
    }
    void FillCircle(int x, int y, int radius, PlotColor color) override {
        Circles.push_back({x, y, radius, color});
    }
    void TextOutUpwards(int x, int y, const std::string& text) override {
        Texts.push_back({x, y, text, font_, size_, fontColor_, true});
    }
    void MoveTo(int x, int y) override {
        x_ = x;
        y_ = y;
    }
    void LineTo(int x, int y) override {
        Lines.push_back({x_, y_, x, y, pen_, penWidth_, penStyle_});
        x_ = x;
        y_ = y;
    }
    void SetFont(const std::string& name, int size, PlotColor color) override {
        font_ = name;
        size_ = size;
        fontColor_ = color;
    }
    void TextOut(int x, int y, const std::string& text) override {
        Texts.push_back({x, y, text, font_, size_, fontColor_});
    }

    std::vector<RecordedLine> LinesOf(PlotColor color) const {
        std::vector<RecordedLine> out;
        for (const auto& l : Lines)
            if (l.Color == color) out.push_back(l);
        return out;
    }
    const RecordedText* FindText(const std::string& text) const {
        for (const auto& t : Texts)
            if (t.Text == text) return &t;
        return nullptr;
    }

    std::vector<RecordedLine> Fills;  // rectangles: X1,Y1 top-left, X2,Y2 bottom-right
    std::vector<RecordedLine> Lines;
    std::vector<RecordedText> Texts;
    std::vector<RecordedCircle> Circles;

  private:
    int width_;
    int height_;
    PlotColor pen_{};
    int penWidth_ = 1;
    PenStyle penStyle_ = PenStyle::Solid;
    int x_ = 0;
    int y_ = 0;
    std::string font_;
    int size_ = 0;
    PlotColor fontColor_{};
};

}  // namespace korvel::testing
