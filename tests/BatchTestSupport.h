#pragma once
// A small series for the batch tests: the demo's command file, model and limits with
// data files s0.dat, s1.dat ... made from the demo's curve scaled a little each (a
// film whose density drifts), each fitted in a tenth of a second or so.

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "CliTestSupport.h"

namespace korvel::testing {

// Writes the demo and `count` data files named s<k>.dat; returns their names. The
// inputs are dated a minute back, so results written at once are newer.
inline std::vector<std::string> WriteSeries(const TempFolder& folder, int count) {
    CopyDemo(folder.Root());
    std::vector<std::string> names;
    const std::string demo = folder.Read("demo.dat");
    for (int k = 0; k < count; ++k) {
        std::istringstream in(demo);
        std::ostringstream out;
        out.precision(10);
        double angle, r, dr;
        const double scale = 1.0 + 0.01 * k;
        while (in >> angle >> r >> dr) out << angle << " " << r * scale << " " << dr << "\n";
        names.push_back("s" + std::to_string(k) + ".dat");
        folder.Write(names.back(), out.str());
    }
    const auto past = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    for (const auto& entry : fs::directory_iterator(folder.Root()))
        fs::last_write_time(entry.path(), past);
    return names;
}

// The cells of a summary.csv row by row (CR LF lines, no quoted line breaks).
inline std::vector<std::vector<std::string>> SummaryCells(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : CrLfLines(text)) {
        if (line.empty()) continue;
        std::vector<std::string> cells;
        std::string cell;
        bool quoted = false;
        for (const char c : line) {
            if (c == '"') quoted = !quoted;
            else if (c == ',' && !quoted) {
                cells.push_back(cell);
                cell.clear();
            } else {
                cell += c;
            }
        }
        cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

// One column of a summary's rows (the header names it).
inline std::vector<std::string> SummaryColumn(const std::string& text, const std::string& name) {
    const auto rows = SummaryCells(text);
    std::vector<std::string> column;
    if (rows.empty()) return column;
    std::size_t c = 0;
    while (c < rows[0].size() && rows[0][c] != name) ++c;
    for (std::size_t r = 1; r < rows.size(); ++r)
        column.push_back(c < rows[r].size() ? rows[r][c] : std::string("<none>"));
    return column;
}

// The summary without its wall-time column, which no two runs share.
inline std::string WithoutWallTime(const std::string& text) {
    std::string out;
    for (auto row : SummaryCells(text)) {
        row.pop_back();
        for (const auto& cell : row) out += cell + "|";
        out += "\n";
    }
    return out;
}

}  // namespace korvel::testing
