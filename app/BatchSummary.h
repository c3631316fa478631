#pragma once
// The summary table of a batch of fits: one row per data set, its cells by column
// name, written as comma-separated values (RFC 4180: quoted where a cell holds a
// comma, a quote or a line break; CR LF line ends, as every file the program writes).
// The "index" column, the data set's 0-based place in the whole series, orders the
// rows, so that the summaries of shards merge back into the series' order.

#include <map>
#include <string>
#include <vector>

namespace korvel {

using SummaryRow = std::map<std::string, std::string>;

struct SummaryTable {
    // The column order: the leading columns, each fitted parameter's (with its
    // uncertainty's) in the order they were added, the trailing columns.
    std::vector<std::string> Columns;
    std::vector<SummaryRow> Rows;
};

// A table with the fixed columns only: index, data_file, status, message,
// reduced_chi_square, evaluations, seed, wall_time_s.
SummaryTable EmptySummary();
// Adds a column before the trailing ones (evaluations, seed, wall time) unless the
// table has it.
void AddSummaryColumn(SummaryTable& table, const std::string& name);
// The CSV text: the header, then the rows in the order of their index.
std::string FormatSummary(const SummaryTable& table);
// Reads a CSV text written by FormatSummary; `name` names it in messages. Throws
// RunError for a text that is not such a summary.
SummaryTable ParseSummary(const std::string& text, const std::string& name);
// The rows of several summaries in one table (columns of all of them). Throws
// RunError when two give a row of the same index.
SummaryTable MergeSummaries(const std::vector<SummaryTable>& tables);

}  // namespace korvel
