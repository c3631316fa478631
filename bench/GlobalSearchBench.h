#pragma once
// Whether the population searches find the minimum next to the true model, and how
// the specified tunnelling search fares on the same problems: recovery over 20 seeds
// on a capped multilayer and two three-parameter samples with counting noise, time and
// evaluations to solution, and the coverage of the sampler's 68 % intervals on 20
// synthetic film data sets.

namespace korvel::bench {

void PrintGlobalSearchBench();

}  // namespace korvel::bench
