#pragma once
// A fit's files, written at the moments the fit hands its results over: the .loc line
// of each local run, the .bst and .pct of the search result (all three put into place
// together), the Newton step's sections and the uncertainty table appended to the
// .bst, and the fitting log of the local runs' iterations. Every other report goes on
// to the observer behind (the program's display) unchanged.

#include <string>

#include "fit/FitProgress.h"

namespace korvel {

struct Workspace;
class ResultSetWriter;

// Prepares the .bst and .pct files in `results` (which holds the .loc of the search)
// and puts the three into place together; a failed write leaves all previous files
// in place and throws RunError. Sets Files.Written once they are in place.
void WriteFitResults(Workspace& ws, ResultSetWriter& results);

class FitFileWriter : public FitObserver {
  public:
    // `results` holds the run's result files; `fitLog` names the fitting log's file
    // (empty: none is written).
    FitFileWriter(Workspace& ws, ResultSetWriter& results, std::string fitLog, FitObserver& next)
        : ws_(ws), results_(&results), fitLog_(std::move(fitLog)), next_(next) {}
    // Only the fitting log, for runs without result files.
    FitFileWriter(Workspace& ws, std::string fitLog, FitObserver& next)
        : ws_(ws), fitLog_(std::move(fitLog)), next_(next) {}

    void OnProgress(const FitProgress& progress) override;
    void OnLocalRunEnded(const FitSession& session) override;
    void OnSearchResult(const FitSession& session) override;
    void OnNewtonSection(const FitSession& session, NewtonSection section,
                         double meritDifference) override;
    void OnUncertainties(const FitSession& session, std::span<const double> values,
                         std::span<const double> uncertainties) override;
    bool DecideNewtonStep() override { return next_.DecideNewtonStep(); }
    bool DecideUncertainty() override { return next_.DecideUncertainty(); }

  private:
    Workspace& ws_;
    ResultSetWriter* results_ = nullptr;
    std::string fitLog_;
    FitObserver& next_;
};

}  // namespace korvel
