#pragma once
// The fitted-values table (fit/FittedValues) as text and as a drawing: the CSV file
// that korvel-cli --report writes and the desktop program's window can save, and the
// table drawn on a canvas for the window and its images. Numbers are written with the
// C locale's point whatever the user's locale, so the files read alike everywhere.

#include <string>

namespace korvel {

struct FittedValuesTable;
class PlotCanvas;

// Two comment lines ("# reduced chi-square: ...", "# result file: ..." per file), then
// the header "name,start,fitted,uncertainty,lower,upper,at_limit" and one row per free
// parameter: the shortest text that reads back as the same double, an empty
// uncertainty when none was estimated, and "lower", "upper" or nothing. Lines end in LF.
std::string FittedValuesCsv(const FittedValuesTable& table);

// The size in pixels the drawn table needs, measured on `canvas`.
struct CanvasSize {
    int Width = 0;
    int Height = 0;
};
CanvasSize FittedValuesViewSize(const PlotCanvas& canvas, const FittedValuesTable& table);

// Draws the table from the canvas's top-left corner.
void DrawFittedValues(PlotCanvas& canvas, const FittedValuesTable& table);
// The same as an SVG document of the size the table needs.
std::string FittedValuesSvg(const FittedValuesTable& table);

}  // namespace korvel
