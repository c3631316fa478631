#pragma once
// The texts of a fit's result files, built from the fit's session as it stands: the
// result model file (.bst: the fitted model in model-file layout, then the report,
// the Newton step's sections and the uncertainty table), the fitted-curve file (.pct:
// abscissa, measured and fitted intensity per point), the line that each local
// simplex run adds to the .loc file and the line of the fitting log. Lengths in
// angstrom, angles in degrees, Qz in 1/angstrom, densities in the run's density
// units. Lines end in CR LF.

#include <cstdint>
#include <span>
#include <string>

#include "fit/FitProgress.h"

namespace korvel {

struct FitSession;

// The model block: one line of four E(15) values per layer, an empty line, Norma,
// W_Norma, #Calls and the thickness summary. The model holds the best vertex's values
// and BestMerit its figure of merit by then (AdoptBestVertex).
std::string ModelBlockText(const FitSession& ws);
// The whole result model file and the whole fitted-curve file.
std::string ResultModelText(const FitSession& ws);
std::string FittedCurveText(const FitSession& ws);

// The .loc line of the best vertex: the plain cosine mapping of its angles, Xi,
// #ITER and #Calls.
std::string LocalRunLine(const FitSession& ws);

// What a step of the Newton step's follow-up appends to the result model file;
// `meritDifference` is the search result's figure of merit minus the new one.
std::string NewtonSectionText(const FitSession& ws, NewtonSection section, double meritDifference);

// The uncertainty table: title, header and one row per free parameter.
std::string UncertaintyTable(const FitSession& ws, std::span<const double> values,
                             std::span<const double> uncertainties);

// One line of the fitting log: "#Calls" and the best figure of merit of an iteration.
std::string FitLogLine(std::uint16_t calls, double bestMerit);

}  // namespace korvel
