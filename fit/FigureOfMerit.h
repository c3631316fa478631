#pragma once
// The figure of merit of a fit: how a fit vector becomes model parameter values
// (the bounded cosine mapping and the split of a fixed repeat-unit length), and how
// the computed curves are scaled onto the measured one and scored by a reduced
// chi-square. Lengths in angstrom; angles of the fit vector in radians.

#include <span>

namespace korvel {

struct FitSession;

// In place: every entry becomes FreeMid + FreeHalfRange * cos(entry); then, when the
// repeat-unit length is fixed, the free repeat-unit thicknesses are replaced by their
// shares of the period and the dependent thickness receives the rest (written into
// the model). This is what the start of an evaluation does to its working copy, and
// what the fitting run does to the best vertex before it holds plain values.
void ConvertVertexToValues(FitSession& ws, std::span<double> entries);

// The repeat-unit split alone, on free-parameter values whose repeat-unit thickness
// entries hold angles in [0, pi/2]: each takes the share sin^2 of what the ones
// before it left; the dependent thickness cell receives the remainder.
void SplitFixedRepeatUnit(FitSession& ws, std::span<double> values);

// Writes free-parameter values (k = 1 .. FreeCount) into the model through the slots.
void WriteFreeValues(FitSession& ws, std::span<const double> values);

// The mapping at the start of an evaluation: the vertex is converted (unless it
// already holds values) and written into the model. The vertex is not changed.
void MapVertexToModel(FitSession& ws, std::span<const double> vertex);

// Scales CalculatedCurve and SmearedCurve onto MeasuredIntensity (least-squares
// factors, or 1 when the data are scaled) and returns the reduced chi-square of the
// smeared curve over the fitting window. Throws RunError when the figure cannot be
// formed: a window holding no more points than free parameters, a zero weight inside
// the window, or a non-finite result.
double ScaleAndScore(FitSession& ws);

}  // namespace korvel
