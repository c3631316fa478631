#pragma once
// The temporary folder of the reader and file tests, and a run interface whose
// weighting dialog answers from a script.

#include <string>

#include "TestFiles.h"
#include "app/RunInterface.h"

namespace korvel::testing {

// Every window interaction is a no-op except the weighting dialog, which takes the
// scripted answer and counts how often it was shown.
class ScriptedWeightingInterface : public RunInterface {
  public:
    int WeightingItem = 1;
    std::string WeightingText;
    int WeightingDialogsShown = 0;

    void ShowWeightingDialog(WeightingDialogRecord& record) override {
        ++WeightingDialogsShown;
        record.NormaRadioGroup = WeightingItem;
        record.FracEdit = WeightingText;
    }
    void ShowCommandFileDialog(CommandFileDialogRecord&) override {}
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
};

}  // namespace korvel::testing
