// The batch summary as CSV: written and read back by the same quoting rules, so that a
// resumed batch keeps the rows of the data sets it skips and shards merge.

#include "app/BatchSummary.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "base/RunError.h"

namespace korvel {

namespace {

constexpr const char* kLineEnd = "\r\n";
const std::vector<std::string> kLeading = {"index", "data_file", "status", "message",
                                           "reduced_chi_square"};
const std::vector<std::string> kTrailing = {"evaluations", "seed", "wall_time_s"};

std::string Quoted(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string out = "\"";
    for (const char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::uint64_t IndexOf(const SummaryRow& row) {
    const auto found = row.find("index");
    std::uint64_t index = 0;
    if (found != row.end()) {
        const std::string& text = found->second;
        std::from_chars(text.data(), text.data() + text.size(), index);
    }
    return index;
}

// The records of a CSV text, each a list of cells; a quoted cell may hold line breaks.
std::vector<std::vector<std::string>> Records(const std::string& text, const std::string& name) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string cell;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                cell += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == '"' && cell.empty()) {
            quoted = true;
            any = true;
        } else if (c == ',') {
            record.push_back(std::move(cell));
            cell.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (any || !cell.empty()) {
                record.push_back(std::move(cell));
                records.push_back(std::move(record));
            }
            cell.clear();
            record.clear();
            any = false;
        } else {
            cell += c;
            any = true;
        }
    }
    if (quoted) throw RunError("The summary ends inside a quoted cell.", name);
    if (any || !cell.empty()) {
        record.push_back(std::move(cell));
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace

SummaryTable EmptySummary() {
    SummaryTable table;
    table.Columns = kLeading;
    table.Columns.insert(table.Columns.end(), kTrailing.begin(), kTrailing.end());
    return table;
}

void AddSummaryColumn(SummaryTable& table, const std::string& name) {
    if (std::find(table.Columns.begin(), table.Columns.end(), name) != table.Columns.end())
        return;
    auto at = std::find(table.Columns.begin(), table.Columns.end(), kTrailing.front());
    table.Columns.insert(at, name);
}

std::string FormatSummary(const SummaryTable& table) {
    // By index, rows of one index in the order given.
    std::vector<std::pair<std::uint64_t, std::size_t>> order;
    for (std::size_t r = 0; r < table.Rows.size(); ++r)
        order.emplace_back(IndexOf(table.Rows[r]), r);
    std::sort(order.begin(), order.end());
    std::vector<const SummaryRow*> rows;
    for (const auto& [index, r] : order) rows.push_back(&table.Rows[r]);
    std::string text;
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
        if (c) text += ',';
        text += Quoted(table.Columns[c]);
    }
    text += kLineEnd;
    for (const SummaryRow* row : rows) {
        for (std::size_t c = 0; c < table.Columns.size(); ++c) {
            const auto cell = row->find(table.Columns[c]);
            if (c) text += ',';
            if (cell != row->end()) text += Quoted(cell->second);
        }
        text += kLineEnd;
    }
    return text;
}

SummaryTable ParseSummary(const std::string& text, const std::string& name) {
    const auto records = Records(text, name);
    if (records.empty() || records.front().empty() || records.front().front() != "index")
        throw RunError("Not a batch summary: the first column must be \"index\".", name);
    SummaryTable table;
    table.Columns = records.front();
    for (std::size_t r = 1; r < records.size(); ++r) {
        if (records[r].size() != table.Columns.size())
            throw RunError("A row of the summary has " + std::to_string(records[r].size()) +
                               " cells, the header " + std::to_string(table.Columns.size()) + ".",
                           name + ", row " + std::to_string(r + 1));
        SummaryRow row;
        for (std::size_t c = 0; c < table.Columns.size(); ++c)
            if (!records[r][c].empty()) row[table.Columns[c]] = records[r][c];
        table.Rows.push_back(std::move(row));
    }
    return table;
}

SummaryTable MergeSummaries(const std::vector<SummaryTable>& tables) {
    SummaryTable merged = EmptySummary();
    for (const SummaryTable& table : tables)
        for (const std::string& column : table.Columns) AddSummaryColumn(merged, column);
    std::map<std::uint64_t, const SummaryRow*> byIndex;
    for (const SummaryTable& table : tables) {
        for (const SummaryRow& row : table.Rows) {
            if (!byIndex.emplace(IndexOf(row), &row).second)
                throw RunError("Two summaries hold a row of index " +
                                   std::to_string(IndexOf(row)) + ".",
                               row.count("data_file") ? row.at("data_file") : std::string());
        }
    }
    for (const auto& [index, row] : byIndex) merged.Rows.push_back(*row);
    return merged;
}

}  // namespace korvel
