#pragma once
// The run interface of the desktop program: a run's dialogs, progress fields,
// plot and keyboard checks go to the real windows. Runs execute on the window
// thread; once per simplex iteration the pending window events are processed, so
// the keyboard (Ctrl+Q, Ctrl+X), the "Draw" item and repaints stay alive.

#include <QElapsedTimer>

#include "app/RunInterface.h"

namespace korvel::gui {

class MainWindow;

class WindowRunInterface : public RunInterface {
  public:
    explicit WindowRunInterface(MainWindow& main) : main_(main) {}

    bool ShowCommandFileDialog(CommandFileDialogRecord& record) override;
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
    void ProcessEventsBetweenEvaluations() override;
    void ShowWarning(const std::string& text) override;

  private:
    MainWindow& main_;
    QElapsedTimer sinceEvents_;  // since the last event round between evaluations
};

}  // namespace korvel::gui
