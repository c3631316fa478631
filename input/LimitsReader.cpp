// The .lmt limits file read from its text: three reals per model parameter.

#include "input/LimitsReader.h"

#include "base/NumberStream.h"
#include "base/ParameterIndex.h"

namespace korvel {

LimitsTable ParseLimits(const std::string& text, const std::string& path, int parameterCount) {
    NumberStream in(text, path);
    LimitsTable table;
    table.Path = path;
    table.Rows.resize(parameterCount > 0 ? static_cast<std::size_t>(parameterCount) : 0);
    bool complete = true;
    for (int j = 1; j <= parameterCount; ++j) {
        LimitsRow& row = table.Rows[j - 1];
        double* const numbers[3] = {&row.Lower, &row.Upper, &row.Step};
        for (int n = 0; n < 3; ++n) {
            if (complete && in.AtEnd()) {
                complete = false;
                table.ShortFileWarnings.Add(
                    path + ": the limits file ends " + (n == 0 ? "before" : "inside") +
                    " the limits of " + ParameterNameAndPlace(j) +
                    "; the missing numbers read as 0, which fixes it and every parameter "
                    "after it.");
            }
            *numbers[n] = in.ReadReal();
            if (n == 0) row.Where = in.Where();
        }
        if (complete) ++table.CompleteRows;
    }
    return table;
}

}  // namespace korvel
