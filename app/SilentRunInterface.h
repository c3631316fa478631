#pragma once
// A run interface without windows: every dialog keeps its record, both questions are
// answered No, nothing is shown and no key is ever typed. Headless drivers (fuzzing,
// benchmarks, tests) derive from it and override only what they script.

#include "app/RunInterface.h"

namespace korvel {

class SilentRunInterface : public RunInterface {
public:
    bool ShowCommandFileDialog(CommandFileDialogRecord&) override { return true; }
    void ShowWeightingDialog(WeightingDialogRecord&) override {}
    bool AskNewtonStep() override { return false; }
    bool AskUncertainty() override { return false; }
    void ShowMessage(const std::string&) override {}
    void ShowSimplexInitialization(bool) override {}
    void SetSimplexInitField(SimplexInitField, const std::string&) override {}
    void ShowFittingInformation(bool) override {}
    void SetFittingField(FittingField, const std::string&) override {}
    void SetTmpMessage(const std::string&, TmpMessageStyle) override {}
    void SetDrawEnabled(bool) override {}
    void ShowPlotWindow() override {}
    void DrawPlot(const CurveArrays&) override {}
    void ProcessPendingEvents() override {}
    int LastKey() const override { return 0; }
    void ClearLastKey() override {}
    void ShowWarning(const std::string&) override {}
};

}  // namespace korvel
