#pragma once
// The command line's answers to everything a run asks of a window: the dialogs
// take their values from the options, messages and progress go to stderr, Ctrl+C
// acts as Ctrl+Q, and the last curves drawn are kept for an optional plot file.

#include <chrono>
#include <cstdio>
#include <string>

#include "app/RunInterface.h"
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

class CliRunInterface : public RunInterface {
  public:
    CliRunInterface(DialogAnswers answers, bool quiet, std::FILE* out = stderr);

    void ShowCommandFileDialog(CommandFileDialogRecord& record) override;
    void ShowWeightingDialog(WeightingDialogRecord& record) override;
    bool AskNewtonStep() override;
    bool AskUncertainty() override;
    void ShowMessage(const std::string& text) override;

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
    void ShowPhaseCaption(const std::string& caption);
    void CountCalls(const std::string& text);

    DialogAnswers answers_;
    bool quiet_;
    std::FILE* out_;
    bool isTerminal_;
    int lastKey_ = 0;
    bool interruptHandled_ = false;
    bool drawEnabled_ = false;
    bool hasDrawn_ = false;
    CurveArrays lastCurves_;

    // Fitting progress as the window's fields would show it.
    std::string phase_;
    bool simplexRunOpen_ = false;  // between a run's first iteration and its end
    // "#Calls": the window's counter is 16 bits and wraps at 65536; here it counts on.
    // Every phase shows the counter well within 65536 evaluations, so a value below the
    // last one shown is a wrap.
    unsigned long long callsShown_ = 0;
    unsigned long long callsWrapped_ = 0;
    std::string calls_;
    std::string caption_;  // the last Newton step or uncertainty caption
    std::string stem_;     // its text when its stage began
    std::string bestMerit_;
    std::string verticesToEvaluate_;
    std::string verticesLeft_;  // the count-down, the vertex under way included
    std::string secondsPerCurve_;
    bool progressLineOpen_ = false;
    std::chrono::steady_clock::time_point lastProgress_{};
};

}  // namespace korvel::cli
