#pragma once
// The density profile of a layer model: the real and imaginary density columns (delta
// and beta of n = 1 - delta - i beta, as the model holds them) as functions of the depth
// z below the top surface, in angstrom. Every interface is smoothed by its roughness
// sigma with the error-function profile, the real-space picture of the Nevot-Croce
// factor (Nevot and Croce 1980): across the interface at depth z_i from medium a above
// to medium b below the density is a + (b - a) (1 + erf((z - z_i) / (sigma sqrt 2))) / 2,
// and the profile is the sum of these steps from the ambient vacuum (density 0 above
// the surface, z < 0) down to the substrate. The repeat unit is written out RepeatCount
// times; a unit stacked zero times is not part of the sample, as in the optical stack.
// A zero roughness gives a sharp step. Pure functions of the model.

#include <span>
#include <vector>

namespace korvel {

struct LayerModel;

// One medium of the sample as the profile sees it, from the top surface down.
struct ProfileSlab {
    int Layer = 0;           // the model's layer number (1 = top layer, the substrate last)
    double Top = 0.0;        // depth of the interface at its top, angstrom
    double Thickness = 0.0;  // angstrom; 0 for the substrate, which has no lower end
    double ReDensity = 0.0;  // delta
    double ImDensity = 0.0;  // beta
    double Roughness = 0.0;  // sigma of the interface at its top, angstrom
};

// The media below the ambient in depth order: the top layers, the repeat unit written
// out RepeatCount times, the bottom layers, the substrate (always last). Negative
// thicknesses and roughnesses, which the readers refuse, count as their magnitudes.
// Throws RunError for a model whose parameters do not match its layer counts.
std::vector<ProfileSlab> ProfileSlabs(const LayerModel& model);

struct DensityProfile {
    std::vector<double> Depth;      // angstrom below the top surface; negative in the ambient
    std::vector<double> ReDensity;  // delta at each depth
    std::vector<double> ImDensity;  // beta at each depth
};

// The profile at the given depths (any order). At the depth of a sharp interface the
// medium below counts.
DensityProfile ComputeDensityProfile(const LayerModel& model, std::span<const double> depth);

// The depth range that shows the whole sample: from above the top surface to below the
// substrate interface, with room for the outer interfaces' smoothing (four roughnesses)
// and at least an eighth of the sample's thickness or 30 angstrom on either side.
struct DepthRange {
    double Top = 0.0;     // angstrom, negative: in the ambient
    double Bottom = 0.0;  // angstrom, inside the substrate
};
DepthRange ProfileDepthRange(const LayerModel& model);

// `points` depths spread evenly over ProfileDepthRange (at least 2).
std::vector<double> ProfileDepths(const LayerModel& model, int points = 1001);

}  // namespace korvel
