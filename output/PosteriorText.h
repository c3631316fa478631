#pragma once
// The texts of a posterior sample: the chain as comma-separated values (one row per
// walker and step, the free parameters in the units of the model file, then the
// log-likelihood) and the summary printed after a fit.

#include <string>

namespace korvel {

struct PosteriorSample;

// "step,walker,Thickness:1,...,log_likelihood", then one row per step and walker,
// numbers with 10 significant digits. The burn-in steps are included (marked by the
// summary's burn count), so the file holds the whole chain.
std::string McmcChainText(const PosteriorSample& sample);
// Per parameter its median and 68 % and 95 % intervals and its autocorrelation time;
// the acceptance fraction; a warning line when the chain is too short.
std::string PosteriorSummaryText(const PosteriorSample& sample);

}  // namespace korvel
