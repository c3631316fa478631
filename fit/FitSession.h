#pragma once
// Everything one fit (or one simulation) works on: its settings, the layer model, the
// curve arrays, the weights, the free parameters and their simplex, the counters of the
// run, its random generator and the engine's working arrays. Sessions share nothing: any
// number of them may be evaluated at once on different threads.

#include <random>

#include "base/ReadWarnings.h"
#include "engine/EngineCache.h"
#include "engine/PointwiseSmearing.h"
#include "model/CurveArrays.h"
#include "model/FitState.h"
#include "model/FreeParameters.h"
#include "model/LayerModel.h"
#include "model/RunOptions.h"
#include "model/RunSettings.h"
#include "model/Weighting.h"

namespace korvel {

struct FitSession {
    RunSettings Settings;
    LayerModel Model;
    CurveArrays Curves;
    WeightingState Weighting;
    FreeParameters Free;
    FitState Fit;
    ReadWarnings Warnings;  // of the current run's readers

    RunOptions Options;
    std::mt19937_64 Random;
    EngineCache Engine;  // working arrays and threads of the engine; a copy starts empty
    // The nodes and weights of the data's pointwise resolution when the fit smears with
    // it (PrepareResolution); empty: the model header's resolution laws.
    PointwiseSmearing DataResolution;
};

}  // namespace korvel
