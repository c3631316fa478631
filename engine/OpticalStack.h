#pragma once
// The optical stack: the sample as a column of media from the vacuum down to the
// substrate, rebuilt from the layer model once per curve evaluation, and the
// pieces every dynamical method shares: the normalised vertical wave-vector
// component f = sqrt(n^2 - cos^2 theta) of a medium, the Fresnel coefficient of a
// sharp interface, the Nevot-Croce roughness factor (Nevot and Croce 1980) and
// the two-way phase factor of a layer. Lengths in angstrom; c2 = cos^2(theta).

#include <vector>

#include "engine/Complex.h"

namespace korvel {

struct LayerModel;

// One medium of the stack; n = IndexRe + i*IndexIm = 1 - delta - i*beta.
struct StackLayer {
    double Thickness = 0.0;  // d, angstrom
    double IndexRe = 1.0;    // 1 - delta
    double IndexIm = 0.0;    // -beta
    double Delta = 0.0;
    double Roughness = 0.0;  // sigma of the interface at the top of this medium, angstrom
};

// Everything the per-point methods read, built once per evaluation. LayerStack has
// FilmLayerCount + 2 entries: 0 the vacuum, 1 .. L the layers in model order with
// the repeat unit stored once (entries n1 + 1 .. n1 + n2), L + 1 the substrate.
struct EvaluationContext {
    std::vector<StackLayer> LayerStack;
    Complex PhaseConstant;         // (0, -4 pi / lambda)
    double Wavelength = 0.0;       // lambda, angstrom
    double WaveNumber = 0.0;       // k = 2 pi / lambda
    int TopLayerCount = 0;         // n1
    int RepeatUnitLayerCount = 0;  // n2 (0 when the unit is absent from the stack)
    int BottomLayerCount = 0;      // n3
    int RepeatCount = 0;           // N

    // Kinematic (Fourier) quantities, filled by FourierSetup.
    double K4 = 0.0;  // 4 k^4
    double TopThickness = 0.0;
    double RepeatUnitThickness = 0.0;
    double BottomThickness = 0.0;
    double TotalThickness = 0.0;
    double MeanDelta = 0.0;
    double MaxDelta = 0.0;
    double FourierThreshold = 0.0;  // cos^2 of four critical angles

    int FilmLayerCount() const { return TopLayerCount + RepeatUnitLayerCount + BottomLayerCount; }
    Complex Index(int entry) const {
        return {LayerStack[entry].IndexRe, LayerStack[entry].IndexIm};
    }
};

// Fills the stack and the optics constants from the model's current values. A
// repeat unit stacked zero times is not part of the sample: it is left out of the
// stack, so that all three methods see the top layers resting on the bottom block.
void BuildStack(const LayerModel& model, EvaluationContext& context);

// f = sqrt(n^2 - c2) on the decaying branch (imaginary part <= 0). This is the
// library's principal root whenever n^2 - c2 has a non-zero imaginary part; for a
// non-absorbing medium below its critical angle, where n^2 - c2 is a negative real,
// it is the limit beta -> 0+ (an evanescent wave that decays with depth).
Complex WaveVectorComponent(const Complex& n, double c2);

// (f_u - f_l) / (f_u + f_l) of a sharp interface, upper index n_u over lower n_l;
// 0 where both f vanish (identical media at their critical angle).
Complex FresnelCoefficient(const Complex& nUpper, const Complex& nLower, double c2);

// Fresnel coefficient between stack entries upper and lower, times the Nevot-Croce
// factor exp(-2 kz_u kz_l sigma^2) of the lower entry's roughness when it is not 0,
// kz in first-order form, each on the decaying branch of f.
Complex InterfaceCoefficient(const EvaluationContext& context, int upper, int lower, double c2);

// exp(-2i kz d) of stack entry `entry`, given its f.
Complex PhaseFactor(const EvaluationContext& context, int entry, const Complex& f);

}  // namespace korvel
