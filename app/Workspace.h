#pragma once
// The one owner of a program's process-wide records. Runs take it by reference,
// so every run can be driven in-process, and tests make as many as they like.

#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "app/DialogRecords.h"
#include "app/RunSettings.h"
#include "engine/EngineCache.h"
#include "fit/FitState.h"
#include "fit/FreeParameters.h"
#include "input/CurveArrays.h"
#include "input/LayerModel.h"
#include "input/ReadWarnings.h"
#include "input/Weighting.h"
#include "output/InputTexts.h"

namespace korvel {

// Re-spreads of one global step after which the search gives up. Global steps that
// end by themselves re-spread a few dozen times at most; some stacks and weightings
// re-spread without end ("Too big step." over and over), and this ends them.
inline constexpr int kDefaultMaxRespreads = 1000;

// Choices the desktop program makes by itself and the command line takes as options.
struct RunOptions {
    std::optional<std::uint64_t> Seed;  // replaces the clock seed of the limits read
    // Bound on the re-spreads of one global step; -1: none.
    int MaxRespreads = kDefaultMaxRespreads;
    unsigned Threads = 0;               // engine threads; 0: as many as the machine has
    bool ReferenceEngine = false;       // evaluate point by point with the literal methods
    bool CreateFitLog = false;          // "  Create Log file of fitting": write fitlog.txt
    // A plot the caller writes after the run (korvel-cli --plot): checked with the run's
    // result files before any work, so it can overwrite neither an input nor a result.
    std::string PlotFile;
};

// Full paths of a fit's result files, formed from the model file name.
struct ResultFiles {
    std::string FittedCurveFile;  // .pct
    std::string ResultModelFile;  // .bst
    std::string LocalRunFile;     // .loc
    bool Written = false;         // all three are in place (a later failure leaves them)
};

struct Workspace {
    RunSettings Settings;
    CommandFileDialogRecord CommandFileDialog;
    WeightingDialogRecord WeightingDialog;
    SimulationSettingsRecord SimulationDialog;

    LayerModel Model;
    CurveArrays Curves;
    WeightingState Weighting;
    FreeParameters Free;
    FitState Fit;
    ResultFiles Files;
    InputTexts Inputs;  // inputs that give their contents once, read once per run
    ReadWarnings Warnings;  // of the current run's readers

    RunOptions Options;
    std::mt19937_64 Random;
    EngineCache Engine;  // working arrays and threads of the engine; a copy starts empty
};

}  // namespace korvel
