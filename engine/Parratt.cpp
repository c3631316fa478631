// Parratt recursion X_j = (r_j + X_below) / (1 + r_j X_below) * exp(-2i kz_j d_j),
// starting from X = 0 below the stack; R = |X|^2 at the vacuum.

#include "engine/Parratt.h"

#include "engine/OpticalStack.h"

namespace korvel {

namespace {

// One step across the interface between entry `upper` and entry `lower`.
Complex ParrattStep(const EvaluationContext& context, const Complex& below, int upper, int lower,
                    double c2) {
    const Complex f = WaveVectorComponent(context.Index(upper), c2);
    const Complex r = InterfaceCoefficient(context, upper, lower, c2);
    const Complex phase = upper == 0 ? CMake(1.0) : PhaseFactor(context, upper, f);
    const Complex numerator = CAdd(below, r);
    Complex denominator = CMul(below, r);
    denominator.Re = denominator.Re + 1.0;
    return CMul(CDiv(numerator, denominator), phase);
}

}  // namespace

double ParrattReflectivity(const EvaluationContext& context, double c2) {
    const int n1 = context.TopLayerCount;
    const int n2 = context.RepeatUnitLayerCount;
    const int layers = context.FilmLayerCount();
    const int firstBottom = layers - context.BottomLayerCount + 1;

    Complex x{0.0, 0.0};
    for (int j = layers; j >= firstBottom; --j) x = ParrattStep(context, x, j, j + 1, c2);

    // Periods from the lowest up; a period's last layer rests on the entry below the
    // unit in the lowest period and on the first layer of the unit in every other.
    if (n2 > 0) {
        for (int period = 1; period <= context.RepeatCount; ++period) {
            for (int j = n1 + n2; j >= n1 + 1; --j) {
                const int lower = (j == n1 + n2 && period != 1) ? n1 + 1 : j + 1;
                x = ParrattStep(context, x, j, lower, c2);
            }
        }
    }

    for (int j = n1; j >= 0; --j) x = ParrattStep(context, x, j, j + 1, c2);
    return x.Re * x.Re + x.Im * x.Im;
}

}  // namespace korvel
