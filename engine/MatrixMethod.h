#pragma once
// Specular reflectivity by 2x2 transfer matrices, one per interface. The repeat unit
// is raised to its N-th power in closed form through the Chebyshev identity for
// unimodular matrices, M^m = U_(m-1)(x) M - U_(m-2)(x) I with x the half trace, so
// the cost per point does not depend on the repeat count. Same Fresnel coefficients,
// Nevot-Croce factors and phase factors as the Parratt recursion.

#include "engine/Complex.h"

namespace korvel {

struct EvaluationContext;

struct Matrix2 {
    Complex G11{1.0, 0.0};
    Complex G12{0.0, 0.0};
    Complex G21{0.0, 0.0};
    Complex G22{1.0, 0.0};
};

// [[1, r P], [r, P]] of the interface between entry upper and entry lower.
Matrix2 InterfaceMatrix(const EvaluationContext& context, int upper, int lower, double c2);
// G = G * H.
void MultiplyRight(Matrix2& g, const Matrix2& h);
// M^power (power >= 1) up to a scalar factor common to all four elements: M is
// normalised to determinant 1 and raised by the Chebyshev identity, with the limits
// U_k(+1) = k + 1 and U_k(-1) = (-1)^k (k + 1) where sin(phi) = 0. A period the
// closed form cannot raise in doubles (determinant 0, or so opaque that the
// quotients overflow) is raised by rescaled repeated squaring instead.
void RaiseToPower(Matrix2& m, int power);
// R at one point, c2 = cos^2(theta). No allocation.
double MatrixReflectivity(const EvaluationContext& context, double c2);

}  // namespace korvel
