#pragma once
// The final model of a finished fit, evaluated once more on a copy of its session:
// what the views of a fit show. After the fit the session's own curves need not
// belong to the result any more (an uncertainty estimate leaves the curves of its last
// difference step, unscaled; a Newton step that is not kept leaves those of the point
// it tried), and its model cells may hold those points' values too.

namespace korvel {

struct FitSession;

// A copy of `finished` whose model holds the best vertex's values (links and a fixed
// repeat-unit length as the fit left them) and whose curves are that model's computed
// and smeared curves scaled onto the data, with BestMerit its figure of merit and
// BestCurve its smeared curve. The copy counts its own evaluation; `finished` is not
// changed. Throws RunError when the fit has not turned its best vertex into values yet
// (it did not get that far) or the evaluation fails.
FitSession FinalModelSession(const FitSession& finished);

}  // namespace korvel
