#pragma once
// The fit of a session whose inputs are read: residual weights, the starting simplex,
// local simplex runs alternating with global tunnelling steps until a step gives up
// or a stop request ends the search, the best vertex as values, and when the observer
// asks for them the Newton step with its fall-backs and the uncertainty estimate.
// Progress and results go to the observer at the moments the program shows and
// writes them; no file is written here.

namespace korvel {

struct FitSession;
struct FitStop;
class FitObserver;

// Runs the fit on a session filled by the readers (settings, model, curves, weighting,
// free parameters and their starting simplex of angles, its random generator seeded).
// The fit starts its own counts and finds the machine epsilon. Throws RunError when a
// weight, a figure of merit or a result is not a usable number; the session then holds
// what the fit had reached.
void RunFit(FitSession& ws, FitObserver& observer, FitStop& stop);

// The parts of RunFit, for searches that replace its middle. PrepareFit starts the
// counts, finds the machine epsilon and checks (and, for Fresnel weights, sets) the
// residual weights. EvaluateStartingSimplex evaluates every vertex of the simplex
// (false: a request to end the search came first; the lowest vertex evaluated is the
// best). FinishFit converts the best vertex to values, evaluates and hands over the
// search result, then, when `searched` and the observer asks for them, the Newton step
// and the uncertainty estimate.
void PrepareFit(FitSession& ws);
bool EvaluateStartingSimplex(FitSession& ws, FitObserver& observer, FitStop& stop);
void FinishFit(FitSession& ws, FitObserver& observer, FitStop& stop, bool searched);

// The best vertex (plain values) becomes the model's free parameter values and its
// figure of merit BestMerit: the model the result sections report.
void AdoptBestVertex(FitSession& ws);

}  // namespace korvel
