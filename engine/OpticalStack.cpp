// The optical stack and the interface and phase factors shared by the Parratt
// recursion (Parratt 1954) and the matrix method. Lengths in angstrom.

#include "engine/OpticalStack.h"

#include "base/RunError.h"
#include "model/LayerModel.h"
#include "base/ParameterIndex.h"

namespace korvel {

namespace {

constexpr double kFourPi = 12.566370614359172;

// The root of w on the decaying branch (imaginary part <= 0 for an absorbing or
// clear medium): the principal root, except that a negative real w, whose signed
// zero the library ignores (+i branch), gets -i sqrt|w|, the limit beta -> 0+.
Complex DecayingRoot(const Complex& w) {
    Complex root = CSqrt(w);
    if (w.Im == 0.0 && root.Im > 0.0) root.Im = -root.Im;
    return root;
}

StackLayer MediumOfLayer(const LayerModel& model, int layer) {
    StackLayer medium;
    medium.Thickness = model.Value(ParameterIndex(layer, Column::Thickness));
    medium.Delta = model.Value(ParameterIndex(layer, Column::ReDensity));
    medium.IndexRe = 1.0 - medium.Delta;
    medium.IndexIm = -model.Value(ParameterIndex(layer, Column::ImDensity));
    medium.Roughness = model.Value(ParameterIndex(layer, Column::Roughness));
    return medium;
}

}  // namespace

void BuildStack(const LayerModel& model, EvaluationContext& context) {
    const int n1 = model.Counts.TopLayerCount;
    const int n2 = model.Counts.RepeatUnitLayerCount;
    const int n3 = model.Counts.BottomLayerCount;
    const int repeats = model.Counts.RepeatCount;
    const bool unitPresent = n2 > 0 && repeats > 0;
    if (model.ParameterCount != 4 * (n1 + n2 + n3 + 1) ||
        model.ParameterSlots.size() != model.ParameterCount)
        throw RunError(
            "The layer model is incomplete: its parameter count does not match its layer counts.");

    context.TopLayerCount = n1;
    context.RepeatUnitLayerCount = unitPresent ? n2 : 0;
    context.BottomLayerCount = n3;
    context.RepeatCount = unitPresent ? repeats : 0;

    context.LayerStack.clear();
    context.LayerStack.reserve(n1 + n2 + n3 + 2);
    context.LayerStack.push_back(StackLayer{});  // the vacuum above the sample
    for (int layer = 1; layer <= n1 + n2 + n3; ++layer) {
        const bool inUnit = layer > n1 && layer <= n1 + n2;
        if (inUnit && !unitPresent) continue;
        context.LayerStack.push_back(MediumOfLayer(model, layer));
    }
    StackLayer substrate = MediumOfLayer(model, n1 + n2 + n3 + 1);
    substrate.Thickness = 0.0;  // the substrate is semi-infinite
    context.LayerStack.push_back(substrate);

    context.Wavelength = model.Header.Wavelength;
    context.WaveNumber = model.WaveNumber;
    context.PhaseConstant = {0.0, -kFourPi / model.Header.Wavelength};
}

Complex WaveVectorComponent(const Complex& n, double c2) {
    Complex w = CSqr(n);
    w.Re = w.Re - c2;
    return DecayingRoot(w);
}

Complex FresnelCoefficient(const Complex& nUpper, const Complex& nLower, double c2) {
    const Complex fUpper = WaveVectorComponent(nUpper, c2);
    const Complex fLower = WaveVectorComponent(nLower, c2);
    const Complex sum = CAdd(fUpper, fLower);
    // Both components vanish only for two media of the same index exactly at their
    // critical angle (two vacuum-like media at theta = 0): no contrast, no reflection,
    // where the quotient would be 0/0.
    if (sum.Re == 0.0 && sum.Im == 0.0) return CMake(0.0);
    return CDiv(CSub(fUpper, fLower), sum);
}

Complex InterfaceCoefficient(const EvaluationContext& context, int upper, int lower, double c2) {
    const StackLayer& u = context.LayerStack[upper];
    const StackLayer& l = context.LayerStack[lower];
    Complex r = FresnelCoefficient(context.Index(upper), context.Index(lower), c2);
    const double sigma = l.Roughness;
    if (sigma != 0.0) {
        // Nevot-Croce: exp(-2 kz_u kz_l sigma^2) with both vertical components in
        // their first-order form kz^2 / k^2 = sin^2(theta) - 2 delta - 2i beta, each on
        // the decaying branch the optics take for f. The product of the two roots, not
        // the root of the product A B: that one is minus the product wherever
        // arg A + arg B leaves (-pi, pi], as for an absorbing layer above its critical
        // angle over a substrate below its own.
        const double s2 = 1.0 - c2;
        const Complex a{s2 - 2.0 * (1.0 - u.IndexRe), 2.0 * u.IndexIm};
        const Complex b{s2 - 2.0 * (1.0 - l.IndexRe), 2.0 * l.IndexIm};
        const double q = kFourPi / context.Wavelength;
        const double g = -(q * q) / 2.0;
        Complex exponent = CMul(DecayingRoot(a), DecayingRoot(b));
        const double t = sigma * sigma * g;
        exponent = {exponent.Re * t, exponent.Im * t};
        r = CMul(r, CExp(exponent));
    }
    return r;
}

Complex PhaseFactor(const EvaluationContext& context, int entry, const Complex& f) {
    const Complex thickness = CMake(context.LayerStack[entry].Thickness);
    return CExp(CMul(CMul(thickness, f), context.PhaseConstant));
}

}  // namespace korvel
