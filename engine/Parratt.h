#pragma once
// Specular reflectivity of the stack by the Parratt recursion (Parratt 1954): the
// reflected-to-incident amplitude ratio is carried upwards from the substrate,
// through the bottom block, the N periods of the repeat unit one by one and the top
// block, to the vacuum. Roughness enters as the Nevot-Croce factor.

namespace korvel {

struct EvaluationContext;

// R at one point, c2 = cos^2(theta). No allocation.
double ParrattReflectivity(const EvaluationContext& context, double c2);

}  // namespace korvel
