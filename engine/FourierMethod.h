#pragma once
// Kinematic (first Born) reflectivity: the Fourier sum of the steps of the delta
// profile at a momentum transfer corrected for refraction in the film's mean
// medium, each step damped by a Gaussian roughness factor, normalised by
// 4 k^4 / (Qz^2 Qr^2). The N periods of the repeat unit are summed in closed form
// as a geometric series. Only valid well above the critical angle: the curve
// evaluation uses it only where FourierApplies holds and the Parratt recursion
// elsewhere. Uses thickness, delta and roughness only (no absorption).

#include "engine/OpticalStack.h"

namespace korvel {

// Per-evaluation quantities (thicknesses, mean and largest delta, threshold).
void FourierSetup(EvaluationContext& context);
// (Qr / (4 pi / lambda))^2 = 1 - c2 - 2 MeanDelta: the refraction-corrected square.
inline double FourierRefractedSquare(const EvaluationContext& context, double c2) {
    return 1.0 - c2 - 2.0 * context.MeanDelta;
}
// True when the point lies above four critical angles (FourierThreshold > c2) and
// the refraction-corrected momentum transfer is real and non-zero there. Inline: the
// batch kernel asks it for every point while it sorts the points by method.
inline bool FourierApplies(const EvaluationContext& context, double c2) {
    return context.FourierThreshold > c2 && FourierRefractedSquare(context, c2) > 0.0;
}
// R at one point, c2 = cos^2(theta). No allocation.
double FourierReflectivity(const EvaluationContext& context, double c2);

}  // namespace korvel
