// Parallel evaluation of a population: a fixed share of the members per worker session.

#include "fit/PopulationEvaluator.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>
#include <thread>

#include "fit/FitSession.h"
#include "fit/Objective.h"

namespace korvel {

std::vector<double> UnitToAngles(std::span<const double> unit) {
    std::vector<double> angles(unit.size());
    for (std::size_t k = 0; k < unit.size(); ++k)
        angles[k] = -std::acos(std::clamp(2.0 * unit[k] - 1.0, -1.0, 1.0));
    return angles;
}

std::vector<double> AnglesToUnit(std::span<const double> angles) {
    std::vector<double> unit(angles.size());
    for (std::size_t k = 0; k < angles.size(); ++k)
        unit[k] = std::clamp((std::cos(angles[k]) + 1.0) / 2.0, 0.0, 1.0);
    return unit;
}

PopulationEvaluator::PopulationEvaluator(const FitSession& session, unsigned threads) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    workers_.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) {
        workers_.push_back(session);  // the engine cache of a copy starts empty
        FitSession& worker = workers_.back();
        worker.Options.Threads = 1;
        worker.Free.VertexHoldsValues = false;
        worker.Fit.SkipFigureOfMerit = false;
    }
}

PopulationEvaluator::~PopulationEvaluator() = default;

void PopulationEvaluator::Evaluate(FitSession& session, const Population& members,
                                   std::vector<double>& merits) {
    const std::size_t count = members.size();
    merits.assign(count, 0.0);
    std::vector<std::exception_ptr> errors(count);
    const std::size_t threads = std::min<std::size_t>(workers_.size(), count);
    auto work = [&](std::size_t t) {
        FitSession& worker = workers_[t];
        for (std::size_t i = t; i < count; i += threads) {
            try {
                merits[i] = EvaluateFigureOfMerit(worker, UnitToAngles(members[i]));
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    };
    if (threads <= 1) {
        if (count > 0) work(0);
    } else {
        std::vector<std::jthread> pool;
        pool.reserve(threads - 1);
        for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work, t);
        work(0);
    }
    session.Fit.Evaluations += count;
    session.Fit.EvaluationCount = static_cast<std::uint16_t>(session.Fit.EvaluationCount + count);
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
}

BatchObjective PopulationEvaluator::Objective(FitSession& session) {
    return [this, &session](const Population& members, std::vector<double>& merits) {
        Evaluate(session, members, merits);
    };
}

}  // namespace korvel
