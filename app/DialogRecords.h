#pragma once
// Plain records behind the settings dialogs. The windows show and edit these; the
// runs read them. They persist between runs, as the dialogs do.

#include <string>

namespace korvel {

// "Command File Parameters". Radio groups hold their item index.
struct CommandFileDialogRecord {
    std::string EComFN = "indefined";
    std::string EExpDataFN = "indefined";
    std::string EModelFN = "indefined";
    std::string ELimitsFN = "indefined";
    std::string ETolerance = "1.0e-5";
    std::string EMaxIter = "65000";
    std::string ECutOffLevel = "0";
    int SimFit = 0;          // "Simulate", "Fit"
    int ScaleNY = 1;         // "No", "Yes"
    int UncertaintySG = 1;   // "Set Manually", "Get from the File"
    int CalculationFPM = 2;  // "Fourier", "Parratt", "Matrix"
    int QzFormat = 0;        // "Degree", "1/A"
    int RULength = 0;        // "Free", "Fixed"
    bool RULengthEnabled = true;
    int DensityUnits = 0;    // the four density-unit items
    // The command file carries neither "Qz Format" nor "Density Units": after a
    // simulation both hold what it set, and the dialog says so beside them until a fit's
    // dialog is closed with OK.
    bool QzFormatFromSimulation = false;
    bool DensityUnitsFromSimulation = false;
};

// "   Choose weighting metod".
struct WeightingDialogRecord {
    int NormaRadioGroup = 1;  // 0 "Freshnel law", 1 "Fraction of Exp data"
    std::string FracEdit;     // D, may be empty
};

// " Simulation Settings".
struct SimulationSettingsRecord {
    std::string EModelFN = "indefined";
    int CalculationFPM = 2;  // "Fourier", "Parratt", "Matrix"
    int QzFormat = 0;        // "Degree", "1/A"
    std::string EditQzMin = "0";
    std::string EditQzMAX = "1";
    std::string EditNIntervals = "100";
    int DensityUnits = 0;
};

}  // namespace korvel
