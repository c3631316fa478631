#pragma once
// The one owner of a program's process-wide records. Runs take it by reference,
// so every run can be driven in-process, and tests make as many as they like.

#include <string>

#include "app/DialogRecords.h"
#include "base/InputTexts.h"
#include "fit/FitSession.h"
#include "input/LimitsReader.h"
#include "model/LayerModel.h"
#include "fit/GlobalFit.h"

namespace korvel {

// Full paths of a fit's result files, formed from the model file name.
struct ResultFiles {
    std::string FittedCurveFile;  // .pct
    std::string ResultModelFile;  // .bst
    std::string LocalRunFile;     // .loc
    std::string McmcFile;         // .mcmc.csv, when the posterior is sampled
    bool Written = false;         // all three are in place (a later failure leaves them)
};

// The session of the current run plus what only the program around it keeps: the
// dialog records, the result and log file names and the inputs read once per run.
struct Workspace : FitSession {
    CommandFileDialogRecord CommandFileDialog;
    WeightingDialogRecord WeightingDialog;
    SimulationSettingsRecord SimulationDialog;

    ResultFiles Files;
    InputTexts Inputs;  // inputs that give their contents once, read once per run
    // Where a fit writes its fitting log when Options.CreateFitLog asks for one; empty:
    // nowhere. Each program names its own (the desktop program "fitlog.txt" in its
    // working folder), so that fits running side by side never share one.
    std::string FitLogFile;
    // What the population search of the last fit did (Method Tunnelling: none ran).
    GlobalFitSummary SearchSummary;
    // The name of the data set a column data file gave the fit; empty for a .dat file.
    std::string DataSetName;

    // The fit's model and limits as read, before the fit moved them (the model with its
    // links, free thicknesses of a fixed repeat unit still as lengths): the start of the
    // fitted-values table and of the profile view.
    LayerModel StartModel;
    LimitsTable Limits;
};

}  // namespace korvel
