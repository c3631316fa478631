#pragma once
// The free parameters of a fit and its starting simplex, from the model and the
// limits table: which parameters are free, which follow another layer's, the
// constraint that keeps one period of the repeat unit at a fixed thickness, and the
// random starting vertices, all in the angle coordinate u with value = c + h cos(u).

namespace korvel {

struct FitSession;
struct LimitsTable;

// Builds session.Free from session.Model (read with session.Settings.DensityUnits) and
// `limits` (one row per model parameter), links the model's parameters and, with the
// repeat-unit length fixed, turns the period's free thicknesses into angles. In
// simulate mode (Settings.FitMode false) the step column is not used: nothing is free
// or linked, and a short limits file is not worth a warning. The random generator is
// seeded from Options.Seed, else from the clock. Adds the limits table's short-file
// warning and warnings about odd links to session.Warnings. Throws RunError naming the
// limits file (or the model) for limits that cannot hold the model's values, more than
// 99 free parameters, or a repeat unit that cannot be split.
void BuildFreeParameters(FitSession& session, const LimitsTable& limits);

}  // namespace korvel
