#pragma once
// Kinematic (first Born) reflectivity: the Fourier sum of the steps of the delta
// profile at a momentum transfer corrected for refraction in the film's mean
// medium, each step damped by a Gaussian roughness factor, normalised by
// 4 k^4 / (Qz^2 Qr^2). The N periods of the repeat unit are summed in closed form
// as a geometric series. Only valid well above the critical angle: the curve
// evaluation uses it only where FourierApplies holds and the Parratt recursion
// elsewhere. Uses thickness, delta and roughness only (no absorption).

namespace korvel {

struct EvaluationContext;

// Per-evaluation quantities (thicknesses, mean and largest delta, threshold).
void FourierSetup(EvaluationContext& context);
// True when the point lies above four critical angles (FourierThreshold > c2) and
// the refraction-corrected momentum transfer is real and non-zero there.
bool FourierApplies(const EvaluationContext& context, double c2);
// R at one point, c2 = cos^2(theta). No allocation.
double FourierReflectivity(const EvaluationContext& context, double c2);

}  // namespace korvel
