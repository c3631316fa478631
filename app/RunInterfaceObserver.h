#pragma once
// The fit's progress on a window-shaped run interface: every record becomes the field
// texts, captions, plot and window changes the desktop program shows at that moment,
// the keys typed meanwhile (LastKey after the pending events) become stop requests,
// and the fit's questions become the interface's dialogs.

#include <string>

#include "fit/FitProgress.h"

namespace korvel {

class RunInterface;

// "Local" or "Descend": the "Fitting Infor" window's LocGlob text of a simplex run.
const char* SearchPhaseText(FitPhase phase);
// The TmpMessage caption with which a phase of the Newton step or the uncertainty
// estimate starts; its count-down appends the stages left, one number after another.
const char* PhaseCaption(FitPhase phase);

class RunInterfaceObserver : public FitObserver {
  public:
    RunInterfaceObserver(RunInterface& ui, FitStop& stop) : ui_(ui), stop_(stop) {}

    void OnProgress(const FitProgress& progress) override;
    bool DecideNewtonStep() override;
    bool DecideUncertainty() override;

  private:
    void OnSimplexIteration(const FitProgress& progress);
    // Ctrl+Q or Ctrl+X in LastKey after an iteration's events: a stop request.
    void TakeIterationKeys();
    // Ctrl+Q in LastKey between two evaluations; Ctrl+X stays for the next simplex run.
    void TakeEvaluationKeys();

    RunInterface& ui_;
    FitStop& stop_;
    std::string caption_;  // the count-down caption shown last
};

}  // namespace korvel
