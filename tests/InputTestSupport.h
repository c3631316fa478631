#pragma once
// The temporary folder of the reader and file tests, and a run interface whose
// weighting dialog answers from a script.

#include <string>

#include "TestFiles.h"
#include "app/SilentRunInterface.h"

namespace korvel::testing {

// Every window interaction is a no-op except the weighting dialog, which takes the
// scripted answer and counts how often it was shown.
class ScriptedWeightingInterface : public SilentRunInterface {
  public:
    int WeightingItem = 1;
    std::string WeightingText;
    int WeightingDialogsShown = 0;

    void ShowWeightingDialog(WeightingDialogRecord& record) override {
        ++WeightingDialogsShown;
        record.NormaRadioGroup = WeightingItem;
        record.FracEdit = WeightingText;
    }
};

}  // namespace korvel::testing
