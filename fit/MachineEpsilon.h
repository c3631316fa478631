#pragma once
// The run's machine epsilon: the smallest double found by a decimal descent for
// which 1 + eps still rounds above 1 (about 1.1102e-16, just above 2^-53). It is
// the threshold of the simplex's spread test and the zero-pivot substitute of the
// matrix inversion.

namespace korvel {

double ComputeMachineEpsilon();

}  // namespace korvel
