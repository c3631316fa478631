#pragma once
// What a library fit keeps of the run while it goes: its progress handed to the
// caller's callback, the caller's stop requests passed on at the moments the fit reads
// them, the .loc, .bst and .pct texts built at the moments the program writes them, and
// the model, curves and merit of the result the program reports last.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fit/FitProgress.h"
#include "korvel/korvel.h"

namespace korvel::api {

class FitCollector : public FitObserver {
  public:
    // `stop` is the fit's own request, which the caller's (control.Stop) feeds; `units`
    // are the density units the fitted sample is reported in.
    FitCollector(const FitControl& control, FitStop& stop, DensityUnits units);

    void OnProgress(const FitProgress& progress) override;
    void OnLocalRunEnded(const FitSession& session) override;
    void OnSearchResult(const FitSession& session) override;
    void OnNewtonSection(const FitSession& session, NewtonSection section,
                         double meritDifference) override;
    void OnUncertainties(const FitSession& session, std::span<const double> values,
                         std::span<const double> uncertainties) override;
    bool DecideNewtonStep() override { return Decide(control_.NewtonStep); }
    bool DecideUncertainty() override { return Decide(control_.Uncertainty); }

    // The result once RunFit has returned on `session`.
    FitResult Finish(const FitSession& session);

  private:
    // Passes the caller's new requests on to the fit, and notes whether one passed on
    // earlier has been acted on (the fit takes it back then).
    void TakeStopRequests();
    // No later phase starts after a stop.
    bool Decide(bool wanted);
    // The model, curves and figures the session reports now: the result so far.
    void Keep(const FitSession& session);

    const FitControl& control_;
    FitStop& stop_;
    DensityUnits units_;

    Progress report_;                // reused, so that reporting allocates nothing
    bool searchEndPassed_ = false;   // the caller's EndSearch was passed on
    bool searchEndPending_ = false;  // ... and not yet taken back by the fit
    bool stopped_ = false;
    std::uint64_t localRunEndsSeen_ = 0;

    FitResult result_;
    std::vector<std::optional<double>> uncertainties_;  // internal units
};

}  // namespace korvel::api
