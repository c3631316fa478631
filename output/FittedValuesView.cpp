// The fitted-values table as CSV text and as a drawing.

#include "output/FittedValuesView.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "fit/FittedValues.h"
#include "output/SvgCanvas.h"
#include "output/ViewAxes.h"

namespace korvel {
namespace {

constexpr int kMargin = 14;
constexpr int kColumnGap = 22;
constexpr int kTableSize = kViewLabelSize + 1;

// The shortest text that reads back as the same double.
std::string RoundTrip(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Six significant digits, as a table is read.
std::string Shown(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    std::string text(buffer, result.ptr);
    if (!text.empty() && text[0] == '-') text = "\u2212" + text.substr(1);
    return text;
}

const char* MarkText(LimitMark mark) {
    switch (mark) {
        case LimitMark::AtLower:
            return "at lower limit";
        case LimitMark::AtUpper:
            return "at upper limit";
        case LimitMark::None:
            break;
    }
    return "";
}

enum class Cell { Text, Number, Mark };

struct Cells {
    std::vector<std::string> Header;
    std::vector<Cell> Kinds;  // per column
    std::vector<std::vector<std::string>> Rows;
    std::vector<std::string> Notes;  // the lines below the table
};

Cells CellsOf(const FittedValuesTable& table) {
    const bool estimated = std::any_of(table.Values.begin(), table.Values.end(),
                                       [](const FittedValue& v) { return v.Uncertainty; });
    Cells cells;
    cells.Header = {"Parameter", "Start", "Fitted"};
    cells.Kinds = {Cell::Text, Cell::Number, Cell::Number};
    if (estimated) {
        cells.Header.push_back("Uncertainty");
        cells.Kinds.push_back(Cell::Number);
    }
    for (const char* title : {"Lower limit", "Upper limit"}) {
        cells.Header.push_back(title);
        cells.Kinds.push_back(Cell::Number);
    }
    cells.Header.push_back("");
    cells.Kinds.push_back(Cell::Mark);
    for (const FittedValue& v : table.Values) {
        std::vector<std::string> row = {v.Name, Shown(v.Start), Shown(v.Fitted)};
        if (estimated) row.push_back(v.Uncertainty ? "\u00b1 " + Shown(*v.Uncertainty) : "");
        for (double limit : {v.Lower, v.Upper}) row.push_back(Shown(limit));
        row.push_back(MarkText(v.Mark));
        cells.Rows.push_back(row);
    }
    if (table.Values.empty()) cells.Notes.push_back("No parameter was free in this fit.");
    cells.Notes.push_back("Reduced \u03c7\u00b2 = " + Shown(table.ReducedChiSquare));
    if (!table.Values.empty() && !estimated)
        cells.Notes.push_back("No uncertainty estimate was made in this fit.");
    if (!table.ResultFiles.empty()) {
        cells.Notes.push_back("Result files:");
        for (const std::string& path : table.ResultFiles) cells.Notes.push_back("    " + path);
    }
    return cells;
}

struct TableLayout {
    std::vector<int> ColumnWidths;
    int RowHeight = 0;
    CanvasSize Size;
};

TableLayout LayoutOf(const PlotCanvas& canvas, const Cells& cells) {
    TableLayout layout;
    layout.ColumnWidths.assign(cells.Header.size(), 0);
    auto widen = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < row.size(); ++c)
            layout.ColumnWidths[c] =
                std::max(layout.ColumnWidths[c], canvas.TextWidth(row[c], kTableSize));
    };
    widen(cells.Header);
    for (const auto& row : cells.Rows) widen(row);
    layout.RowHeight = canvas.TextHeight(kTableSize) + 6;
    int tableWidth = 0;
    for (int w : layout.ColumnWidths) tableWidth += w + kColumnGap;
    int notesWidth = 0;
    for (const std::string& note : cells.Notes)
        notesWidth = std::max(notesWidth, canvas.TextWidth(note, kTableSize));
    layout.Size.Width = 2 * kMargin + std::max(tableWidth - kColumnGap, notesWidth);
    const int rows = 1 + static_cast<int>(cells.Rows.size());
    layout.Size.Height = 2 * kMargin + rows * layout.RowHeight + 10 +
                         static_cast<int>(cells.Notes.size()) * layout.RowHeight;
    return layout;
}

}  // namespace

std::string FittedValuesCsv(const FittedValuesTable& table) {
    std::string text = "# reduced chi-square: " + RoundTrip(table.ReducedChiSquare) + "\n";
    for (const std::string& path : table.ResultFiles) text += "# result file: " + path + "\n";
    text += "name,start,fitted,uncertainty,lower,upper,at_limit\n";
    for (const FittedValue& v : table.Values) {
        const char* mark = v.Mark == LimitMark::AtLower   ? "lower"
                           : v.Mark == LimitMark::AtUpper ? "upper"
                                                          : "";
        text += v.Name + "," + RoundTrip(v.Start) + "," + RoundTrip(v.Fitted) + "," +
                (v.Uncertainty ? RoundTrip(*v.Uncertainty) : "") + "," + RoundTrip(v.Lower) +
                "," + RoundTrip(v.Upper) + "," + mark + "\n";
    }
    return text;
}

CanvasSize FittedValuesViewSize(const PlotCanvas& canvas, const FittedValuesTable& table) {
    return LayoutOf(canvas, CellsOf(table)).Size;
}

void DrawFittedValues(PlotCanvas& canvas, const FittedValuesTable& table) {
    canvas.FillRect(0, 0, canvas.Width(), canvas.Height(), kPlotWhite);
    const Cells cells = CellsOf(table);
    const TableLayout layout = LayoutOf(canvas, cells);
    const int textHeight = canvas.TextHeight(kTableSize);
    const int right = layout.Size.Width - kMargin;

    // Names and marks left-aligned, numbers right-aligned in their columns.
    auto drawRow = [&](const std::vector<std::string>& row, int top, PlotColor color) {
        int x = kMargin;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const bool number = cells.Kinds[c] == Cell::Number;
            const int width = canvas.TextWidth(row[c], kTableSize);
            const PlotColor shade = cells.Kinds[c] == Cell::Mark ? kViewRed : color;
            canvas.SetFont(kViewFont, kTableSize, shade);
            canvas.TextOut(number ? x + layout.ColumnWidths[c] - width : x,
                           top + (layout.RowHeight - textHeight) / 2, row[c]);
            x += layout.ColumnWidths[c] + kColumnGap;
        }
    };
    int y = kMargin;
    drawRow(cells.Header, y, kViewGuide);
    y += layout.RowHeight;
    canvas.SetPen(kViewFrame, 1);
    canvas.MoveTo(kMargin, y - 2);
    canvas.LineTo(right, y - 2);
    for (std::size_t r = 0; r < cells.Rows.size(); ++r) {
        if (r % 2 == 1) canvas.FillRect(kMargin, y, right + 1, y + layout.RowHeight, {244, 246, 250});
        drawRow(cells.Rows[r], y, kViewText);
        y += layout.RowHeight;
    }
    canvas.SetPen(kViewGrid, 1);
    canvas.MoveTo(kMargin, y + 1);
    canvas.LineTo(right, y + 1);
    y += 10;
    canvas.SetFont(kViewFont, kTableSize, kViewText);
    for (const std::string& note : cells.Notes) {
        canvas.TextOut(kMargin, y + (layout.RowHeight - textHeight) / 2, note);
        y += layout.RowHeight;
    }
}

std::string FittedValuesSvg(const FittedValuesTable& table) {
    const SvgCanvas measure(1, 1);
    const CanvasSize size = FittedValuesViewSize(measure, table);
    SvgCanvas canvas(size.Width, size.Height);
    DrawFittedValues(canvas, table);
    return canvas.Document();
}

}  // namespace korvel
