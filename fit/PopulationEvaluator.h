#pragma once
// Evaluation of a whole population of fit vectors at once, spread over threads. Each
// thread works on its own copy of the session (model, curves, engine cache, counters),
// so no mutable state is shared, and its engine computes on one thread: the members,
// not the points of one curve, are what runs in parallel. Member i always gets the
// same figure of merit whatever the thread count, since an evaluation depends only on
// the member and the session's inputs.
//
// Members are points of the unit cube [0, 1]^n: coordinate x maps to the value
// lo + (hi - lo) x of its free parameter, i.e. to the angle u = -arccos(2x - 1) of the
// fit vector, so the links and the fixed repeat-unit length act exactly as in a
// simplex run.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "fit/FitSession.h"

namespace korvel {

using Population = std::vector<std::vector<double>>;
// Fills merits[i] with the figure of merit of members[i]; throws RunError.
using BatchObjective = std::function<void(const Population& members, std::vector<double>& merits)>;

// The angle vector of a unit-cube point and back (entries clamped into range).
std::vector<double> UnitToAngles(std::span<const double> unit);
std::vector<double> AnglesToUnit(std::span<const double> angles);

class PopulationEvaluator {
  public:
    // `threads`: 0 for as many as the machine has. The worker copies are taken now:
    // the session's weights and free parameters must be final.
    PopulationEvaluator(const FitSession& session, unsigned threads);
    ~PopulationEvaluator();
    PopulationEvaluator(const PopulationEvaluator&) = delete;
    PopulationEvaluator& operator=(const PopulationEvaluator&) = delete;

    unsigned Threads() const { return static_cast<unsigned>(workers_.size()); }
    // The figures of merit of unit-cube members; adds the evaluations to `session`'s
    // counts. When evaluations fail, the error of the lowest-numbered member is thrown
    // (the same one at every thread count).
    void Evaluate(FitSession& session, const Population& members, std::vector<double>& merits);
    // Evaluate bound to `session`.
    BatchObjective Objective(FitSession& session);

  private:
    std::vector<FitSession> workers_;
};

}  // namespace korvel
