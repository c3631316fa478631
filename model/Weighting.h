#pragma once
// How the residual weights of a fit are set when they do not come from the data file.

namespace korvel {

struct WeightingState {
    bool FresnelWeights = false;   // "Freshnel law": dI from the bare-substrate Fresnel curve
    bool FractionWeights = false;  // "Fraction of Exp data": dI = ErrorFraction * I
    double ErrorFraction = 0.03;   // D of "d I = Iexp * D"
};

}  // namespace korvel
