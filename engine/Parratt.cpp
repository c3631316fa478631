// Parratt recursion X_j = (r_j + X_below) / (1 + r_j X_below) * exp(-2i kz_j d_j),
// starting from X = 0 below the stack; R = |X|^2 at the vacuum.

#include "engine/Parratt.h"

#include "engine/OpticalStack.h"

namespace korvel {

namespace {

// The layer counts are bytes, so a repeat unit has at most this many layers.
constexpr int kLargestUnit = 255;

// One step with the interface's coefficient r and the upper entry's phase factor.
Complex Step(const Complex& below, const Complex& r, const Complex& phase) {
    const Complex numerator = CAdd(below, r);
    Complex denominator = CMul(below, r);
    denominator.Re = denominator.Re + 1.0;
    return CMul(CDiv(numerator, denominator), phase);
}

// One step across the interface between entry `upper` and entry `lower`.
Complex ParrattStep(const EvaluationContext& context, const Complex& below, int upper, int lower,
                    double c2) {
    const Complex f = WaveVectorComponent(context.Index(upper), c2);
    const Complex r = InterfaceCoefficient(context, upper, lower, c2);
    const Complex phase = upper == 0 ? CMake(1.0) : PhaseFactor(context, upper, f);
    return Step(below, r, phase);
}

// The coefficients and phase factors of the unit's steps, the same in every period.
// Plain arrays left uninitialised: they are filled for the unit's layers before use.
struct UnitSteps {
    double CoefficientRe[kLargestUnit];  // entry first + i over first + i + 1; the last
    double CoefficientIm[kLargestUnit];  // one over the first entry (the joining interface)
    double PhaseRe[kLargestUnit];
    double PhaseIm[kLargestUnit];
};

// The periods from the lowest up; a period's last layer rests on the entry below the
// unit in the lowest period and on the first layer of the unit in every other. Every
// period repeats the same steps with the same numbers, so each coefficient and phase
// factor is computed once per point instead of once per period: the same operations
// on the same values, so the same result to the last bit, at the cost of the
// recursion alone for every period after the first.
Complex WalkPeriods(const EvaluationContext& context, Complex x, double c2) {
    const int first = context.TopLayerCount + 1;
    const int last = context.TopLayerCount + context.RepeatUnitLayerCount;
    if (last - first + 1 > kLargestUnit) {  // not from a model file: step by step
        for (int period = 1; period <= context.RepeatCount; ++period)
            for (int j = last; j >= first; --j)
                x = ParrattStep(context, x, j, (j == last && period != 1) ? first : j + 1, c2);
        return x;
    }
    UnitSteps unit;
    for (int j = first; j <= last; ++j) {
        const Complex f = WaveVectorComponent(context.Index(j), c2);
        const Complex phase = PhaseFactor(context, j, f);
        const Complex r = InterfaceCoefficient(context, j, j == last ? first : j + 1, c2);
        unit.PhaseRe[j - first] = phase.Re;
        unit.PhaseIm[j - first] = phase.Im;
        unit.CoefficientRe[j - first] = r.Re;
        unit.CoefficientIm[j - first] = r.Im;
    }
    for (int period = 1; period <= context.RepeatCount; ++period) {
        for (int j = last; j >= first; --j) {
            const Complex phase{unit.PhaseRe[j - first], unit.PhaseIm[j - first]};
            const Complex r =
                (j == last && period == 1)
                    ? InterfaceCoefficient(context, last, last + 1, c2)
                    : Complex{unit.CoefficientRe[j - first], unit.CoefficientIm[j - first]};
            x = Step(x, r, phase);
        }
    }
    return x;
}

}  // namespace

double ParrattReflectivity(const EvaluationContext& context, double c2) {
    const int n1 = context.TopLayerCount;
    const int layers = context.FilmLayerCount();
    const int firstBottom = layers - context.BottomLayerCount + 1;

    Complex x{0.0, 0.0};
    for (int j = layers; j >= firstBottom; --j) x = ParrattStep(context, x, j, j + 1, c2);
    if (context.RepeatUnitLayerCount > 0) x = WalkPeriods(context, x, c2);
    for (int j = n1; j >= 0; --j) x = ParrattStep(context, x, j, j + 1, c2);
    return x.Re * x.Re + x.Im * x.Im;
}

}  // namespace korvel
