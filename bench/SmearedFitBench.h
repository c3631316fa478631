#pragma once
// The cost of smearing with the data's own resolution: a whole fit's evaluations per
// second with the pointwise Gaussian of each point against the model's resolution laws.

namespace korvel::bench {

// Prints the comparison and whether a smeared evaluation costs at most 20 unsmeared
// ones; returns that ratio on one engine thread.
double ReportSmearedFitCost();

}  // namespace korvel::bench
