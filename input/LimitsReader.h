#pragma once
// The .lmt limits file: three reals per model parameter, in the model's order: lower
// bound, upper bound and the step column (a spread in percent, or minus the layer a
// parameter follows). Read from its text into a table; what the rows mean for a fit
// (free parameters, links, the starting simplex) is fit/StartingSimplex's business.

#include <string>
#include <vector>

#include "base/ReadWarnings.h"

namespace korvel {

struct LimitsRow {
    double Lower = 0.0;  // in the model file's units
    double Upper = 0.0;
    double Step = 0.0;
    std::string Where;  // file, line and token of the lower bound, for messages
};

struct LimitsTable {
    std::string Path;             // the file, for messages
    std::vector<LimitsRow> Rows;  // one per model parameter j (element j - 1)
    int CompleteRows = 0;         // rows the file gave in full; the rest read as 0
    // Names the first parameter whose row is not complete; empty when all are.
    ReadWarnings ShortFileWarnings;
};

// The limits file `path` (named in messages) from its text, for a model of
// `parameterCount` parameters. A text that stops early (hand-written ones often stop
// after the last free row) reads its missing numbers as 0, which fixes those
// parameters; numbers after the last row are not read. Throws RunError ("Invalid
// numeric input") naming the file, the line and the token.
LimitsTable ParseLimits(const std::string& text, const std::string& path, int parameterCount);

}  // namespace korvel
