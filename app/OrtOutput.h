#pragma once
// The measured and fitted curves of a fit as an ORSO text file (korvel-cli fit --ort).

#include <string>

namespace korvel {

struct Workspace;

// The text for the fit in `ws` after its run: every point the fit took (Qz recomputed
// from its angle with the model's wavelength), the uncertainties when they came from
// the data file (nan for weights the program chose), the data's resolutions (nan when
// they gave none) and the best model's smeared curve. `program` and `version` name the
// writer in the header.
std::string FittedCurvesOrt(const Workspace& ws, const std::string& program,
                            const std::string& version);

}  // namespace korvel
