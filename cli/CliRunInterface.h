#pragma once
// The command line's answers to everything a run asks: the dialogs take their values
// from the options, messages and warnings go to stderr, and a fit's typed progress is
// printed there as well (unless quiet). Ctrl+C asks the fit to end its search; the
// last curves drawn are kept for an optional plot file.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/RunInterface.h"
#include "fit/FitProgress.h"
#include "model/CurveArrays.h"

namespace korvel::cli {

// What the dialogs of a fit answer on the command line.
struct DialogAnswers {
    bool QzInverseAngstrom = false;
    int DensityUnits = 0;
    bool RepeatUnitFixed = false;
    bool FresnelWeights = false;
    std::string ErrorFractionText;  // empty: D = 0.03
    bool NewtonStep = false;
    bool Uncertainty = false;
};

class CliRunInterface : public RunInterface, public FitObserver {
  public:
    CliRunInterface(DialogAnswers answers, bool quiet, std::FILE* out = stderr);

    bool ShowCommandFileDialog(CommandFileDialogRecord& record) override;
    void ShowWeightingDialog(WeightingDialogRecord& record) override;
    bool AskNewtonStep() override;
    bool AskUncertainty() override;
    void ShowMessage(const std::string& text) override;

    // A fit's progress arrives typed (OnProgress); of the window calls only those that
    // close a failed run's windows print anything: what the fit had reached.
    void ShowSimplexInitialization(bool shown) override;
    void SetSimplexInitField(SimplexInitField field, const std::string& text) override;
    void ShowFittingInformation(bool shown) override;
    void SetFittingField(FittingField field, const std::string& text) override;
    void SetTmpMessage(const std::string& caption, TmpMessageStyle style) override;

    void SetDrawEnabled(bool enabled) override;
    void ShowPlotWindow() override;
    void DrawPlot(const CurveArrays& curves) override;

    void ProcessPendingEvents() override;
    int LastKey() const override;
    void ClearLastKey() override;
    void ShowWarning(const std::string& text) override;

    // The fit's progress and questions.
    void OnProgress(const FitProgress& progress) override;
    bool DecideNewtonStep() override;
    bool DecideUncertainty() override;
    // Where Ctrl+C (SIGINT, SIGTERM) asks the fit to end its search.
    FitStop& Stop() { return stop_; }

    // The curves of the last DrawPlot (empty before the first).
    const CurveArrays& LastCurves() const { return lastCurves_; }
    bool HasDrawn() const { return hasDrawn_; }
    // True when Ctrl+C ended the search.
    bool Interrupted() const { return interruptHandled_; }

  private:
    void PrintLine(const std::string& line);
    void ShowProgress(bool force);
    // A progress line at most every interval (always when `force`).
    void ShowStatus(const std::string& line, bool force);
    void ShowInitialSimplex(const FitProgress& progress);
    void PrintInitialSimplexSummary();
    void ShowSimplexIteration(const FitProgress& progress);
    void ShowRunEnded(const FitProgress& progress);
    // The first interrupt that has arrived becomes the request to end the search.
    void TakeInterrupt();
    // An interrupt during the posterior sampling ends it.
    void TakeSamplingInterrupt();

    DialogAnswers answers_;
    bool quiet_;
    std::FILE* out_;
    bool isTerminal_;
    FitStop stop_;
    bool interruptHandled_ = false;
    bool drawEnabled_ = false;
    bool hasDrawn_ = false;
    CurveArrays lastCurves_;

    // The fit's progress as last reported.
    std::string phase_;            // "Local" or "Descend" of the last simplex run
    bool simplexRunOpen_ = false;  // between a run's first iteration and its end
    std::uint64_t calls_ = 0;      // curve evaluations, counted on past 65535
    std::string bestMerit_;        // the session best, once a local run has one
    std::string stem_;             // the caption of the Newton or uncertainty stage
    int verticesToEvaluate_ = 0;   // of the starting simplex; 0: none under way
    int verticesLeft_ = 0;         // the count-down, the vertex under way included
    std::string secondsPerCurve_;
    bool progressLineOpen_ = false;
    std::chrono::steady_clock::time_point lastProgress_{};
};

}  // namespace korvel::cli
