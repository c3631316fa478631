#pragma once
// The result files of a fit, beside the model file: the result model file (.bst:
// the fitted model in model-file layout, then the report), the fitted-curve file
// (.pct: abscissa, measured and fitted intensity per point) and the line that each
// local simplex run adds to the .loc file. Lengths in angstrom, angles in degrees,
// Qz in 1/angstrom, densities in the run's density units. Lines end in CR LF.

#include <string>

namespace korvel {

struct Workspace;
class ResultSetWriter;

// Local time of day in seconds (with milliseconds); no correction across midnight.
double SecondsSinceMidnight();

// Copies the best vertex (plain values) into the model's free parameters, sets
// BestMerit and appends the model block: one line of four E(15) values per layer,
// an empty line, Norma, W_Norma, #Calls and the thickness summary.
void WriteModelBlock(Workspace& ws, std::string& text);
// The whole result model file and the whole fitted-curve file, as text.
std::string ResultModelText(Workspace& ws);
std::string FittedCurveText(const Workspace& ws);
// Prepares the .bst and .pct files in `results` (which holds the .loc of the search)
// and puts the three into place together; a failed write leaves all previous files
// in place and throws RunError. Sets Files.Written once they are in place.
void WriteFitResults(Workspace& ws, ResultSetWriter& results);

// The .loc line of the best vertex: the plain cosine mapping of its angles, Xi,
// #ITER and #Calls.
std::string LocalRunLine(const Workspace& ws);

}  // namespace korvel
