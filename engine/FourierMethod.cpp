// Kinematic reflectivity of the layer stack. Qz = 4 pi sin(theta) / lambda in
// vacuum, Qr = 4 pi sqrt(sin^2(theta) - 2 <delta>) / lambda in the mean film; both
// carry a minus sign, which flips every phase and leaves R unchanged. Depths in
// angstrom, measured from the top of the film.

#include "engine/FourierMethod.h"

#include <cmath>

#include "engine/OpticalStack.h"

namespace korvel {

namespace {

constexpr double kFourPi = 12.566370614359172;
constexpr double kPi = 3.141592653589793;

struct AmplitudeSum {
    double Re = 0.0;
    double Im = 0.0;
};

// Gaussian damping of the step at the top of entry `entry`, with the entry `above`
// directly over it; a step without contrast or without roughness is not damped.
double Damping(const EvaluationContext& context, int entry, int above, double g) {
    const StackLayer& medium = context.LayerStack[entry];
    const double sigma = medium.Roughness;
    if (sigma != 0.0 && medium.Delta != context.LayerStack[above].Delta)
        return std::exp(g * sigma * sigma);
    return 1.0;
}

// Adds the layer term of entry `entry` (whose upper neighbour is `above`) at the
// running depth z, and moves z to the layer's bottom.
void AddLayerTerm(const EvaluationContext& context, int entry, int above, double qr, double g,
                  double& z, AmplitudeSum& sum) {
    const StackLayer& layer = context.LayerStack[entry];
    const double top = z;
    z = z + layer.Thickness;
    const double weight = layer.Delta * Damping(context, entry, above, g);
    sum.Re += (std::cos(qr * top) - std::cos(qr * z)) * weight;
    sum.Im += (std::sin(qr * top) - std::sin(qr * z)) * weight;
}

}  // namespace

void FourierSetup(EvaluationContext& context) {
    const int n1 = context.TopLayerCount;
    const int n2 = context.RepeatUnitLayerCount;
    const int layers = context.FilmLayerCount();
    const double k = context.WaveNumber;
    const auto& stack = context.LayerStack;

    context.K4 = 4.0 * k * k * k * k;
    context.TopThickness = 0.0;
    context.RepeatUnitThickness = 0.0;
    context.BottomThickness = 0.0;
    for (int l = 1; l <= layers; ++l) {
        if (l <= n1)
            context.TopThickness += stack[l].Thickness;
        else if (l <= n1 + n2)
            context.RepeatUnitThickness += stack[l].Thickness;
        else
            context.BottomThickness += stack[l].Thickness;
    }
    context.TotalThickness = context.RepeatCount * context.RepeatUnitThickness +
                             context.TopThickness + context.BottomThickness;

    double weighted = 0.0;
    for (int l = 1; l <= layers; ++l) {
        const double multiplicity = (l > n1 && l <= n1 + n2) ? context.RepeatCount : 1.0;
        weighted += multiplicity * stack[l].Thickness * stack[l].Delta;
    }
    const double substrateDelta = stack[layers + 1].Delta;
    context.MeanDelta =
        context.TotalThickness != 0.0 ? weighted / context.TotalThickness : substrateDelta;

    double maxDelta = 0.0;
    for (int l = 1; l <= layers; ++l)
        if (stack[l].Delta > maxDelta) maxDelta = stack[l].Delta;
    if (maxDelta == 0.0) maxDelta = substrateDelta;
    context.MaxDelta = maxDelta;

    // A sample whose densest medium has a negative delta shows no total reflection;
    // the kinematic approximation still needs the same distance from the scale
    // sqrt(2 |delta|), so the threshold is set from the magnitude.
    const double criticalAngle = std::sqrt(2.0 * std::fabs(maxDelta)) * 180.0 / kPi;
    const double s = std::sin((90.0 - 4.0 * criticalAngle) * kPi / 180.0);
    context.FourierThreshold = s * s;
}

double FourierReflectivity(const EvaluationContext& context, double c2) {
    const int n1 = context.TopLayerCount;
    const int n2 = context.RepeatUnitLayerCount;
    const int layers = context.FilmLayerCount();
    const int repeats = context.RepeatCount;
    const double k = context.WaveNumber;
    const double q = kFourPi / context.Wavelength;

    const double qz = -q * std::sqrt(1.0 - c2);
    const double qr = -q * std::sqrt(FourierRefractedSquare(context, c2));
    const double normalisation = context.K4 / (qz * qz);
    const double g = -2.0 * k * k * (1.0 - c2);

    AmplitudeSum sum;
    const double substrateWeight =
        context.LayerStack[layers + 1].Delta * Damping(context, layers + 1, layers, g);
    sum.Re = std::cos(context.TotalThickness * qr) * substrateWeight;
    sum.Im = std::sin(context.TotalThickness * qr) * substrateWeight;

    double z = 0.0;
    for (int l = 1; l <= n1; ++l) AddLayerTerm(context, l, l - 1, qr, g, z, sum);

    z = context.TopThickness + repeats * context.RepeatUnitThickness;
    for (int l = n1 + n2 + 1; l <= layers; ++l) AddLayerTerm(context, l, l - 1, qr, g, z, sum);

    if (context.RepeatUnitThickness != 0.0) {
        // One period at the top of the unit; in every period its first layer lies
        // under entry n1.
        AmplitudeSum period;
        z = context.TopThickness;
        for (int l = n1 + 1; l <= n1 + n2; ++l) AddLayerTerm(context, l, l - 1, qr, g, z, period);

        // Sum of exp(i p u) over p = 0 .. N - 1 as (a + i b) / den.
        const double u = qr * context.RepeatUnitThickness;
        const double a = std::cos((repeats - 1) * u) - std::cos(repeats * u) - std::cos(u) + 1.0;
        const double b = std::sin((repeats - 1) * u) - std::sin(repeats * u) + std::sin(u);
        const double den = 2.0 * (1.0 - std::cos(u));
        if (den != 0.0) {
            sum.Re += (period.Re * a - period.Im * b) / den;
            sum.Im += (period.Im * a + period.Re * b) / den;
        } else {
            // u a whole multiple of 2 pi: every period adds in phase.
            sum.Re += period.Re * repeats;
            sum.Im += period.Im * repeats;
        }
    }

    return (sum.Re * sum.Re + sum.Im * sum.Im) * normalisation / (qr * qr);
}

}  // namespace korvel
