// The error-function density profile of a layer model. Each depth starts from the
// density of the medium it lies in as if every interface were sharp, then adds, for
// the interfaces near enough to matter, the difference between the smoothed and the
// sharp step: -(b - a) erfc(x / sqrt 2) / 2 below the interface and +(b - a) erfc(|x| /
// sqrt 2) / 2 above it, with x = (z - z_i) / sigma. Beyond nine roughnesses that
// difference is below 1e-19 of the step and is left out, so a long multilayer costs
// only the interfaces around each depth.

#include "engine/DensityProfile.h"

#include <algorithm>
#include <cmath>

#include "base/ParameterIndex.h"
#include "base/RunError.h"
#include "model/LayerModel.h"

namespace korvel {
namespace {

constexpr double kReachInRoughnesses = 9.0;

ProfileSlab SlabOfLayer(const LayerModel& model, int layer) {
    ProfileSlab slab;
    slab.Layer = layer;
    slab.Thickness = std::fabs(model.Value(ParameterIndex(layer, Column::Thickness)));
    slab.ReDensity = model.Value(ParameterIndex(layer, Column::ReDensity));
    slab.ImDensity = model.Value(ParameterIndex(layer, Column::ImDensity));
    slab.Roughness = std::fabs(model.Value(ParameterIndex(layer, Column::Roughness)));
    return slab;
}

double SampleThickness(const std::vector<ProfileSlab>& slabs) { return slabs.back().Top; }

double LargestRoughness(const std::vector<ProfileSlab>& slabs) {
    double largest = 0.0;
    for (const ProfileSlab& slab : slabs) largest = std::max(largest, slab.Roughness);
    return largest;
}

}  // namespace

std::vector<ProfileSlab> ProfileSlabs(const LayerModel& model) {
    const int n1 = model.Counts.TopLayerCount;
    const int n2 = model.Counts.RepeatUnitLayerCount;
    const int n3 = model.Counts.BottomLayerCount;
    const int repeats = n2 > 0 ? model.Counts.RepeatCount : 0;
    if (model.ParameterCount != 4 * (n1 + n2 + n3 + 1) ||
        model.ParameterSlots.size() != model.ParameterCount)
        throw RunError(
            "The layer model is incomplete: its parameter count does not match its layer counts.");
    std::vector<int> layers;
    layers.reserve(static_cast<std::size_t>(n1 + n2 * repeats + n3 + 1));
    for (int layer = 1; layer <= n1; ++layer) layers.push_back(layer);
    for (int period = 0; period < repeats; ++period)
        for (int layer = n1 + 1; layer <= n1 + n2; ++layer) layers.push_back(layer);
    for (int layer = n1 + n2 + 1; layer <= n1 + n2 + n3; ++layer) layers.push_back(layer);
    layers.push_back(n1 + n2 + n3 + 1);

    std::vector<ProfileSlab> slabs;
    slabs.reserve(layers.size());
    double depth = 0.0;
    for (int layer : layers) {
        ProfileSlab slab = SlabOfLayer(model, layer);
        slab.Top = depth;
        depth += slab.Thickness;
        slabs.push_back(slab);
    }
    slabs.back().Thickness = 0.0;  // the substrate has no lower end
    return slabs;
}

DensityProfile ComputeDensityProfile(const LayerModel& model, std::span<const double> depth) {
    const std::vector<ProfileSlab> slabs = ProfileSlabs(model);
    std::vector<double> tops(slabs.size());
    for (std::size_t i = 0; i < slabs.size(); ++i) tops[i] = slabs[i].Top;
    const double reach = kReachInRoughnesses * LargestRoughness(slabs);

    DensityProfile profile;
    profile.Depth.assign(depth.begin(), depth.end());
    profile.ReDensity.assign(depth.size(), 0.0);
    profile.ImDensity.assign(depth.size(), 0.0);
    for (std::size_t p = 0; p < depth.size(); ++p) {
        const double z = depth[p];
        // The medium z lies in with sharp interfaces: the last one whose top is not below z.
        const auto below = std::upper_bound(tops.begin(), tops.end(), z);
        double re = 0.0;
        double im = 0.0;
        if (below != tops.begin()) {
            const ProfileSlab& medium = slabs[static_cast<std::size_t>(below - tops.begin()) - 1];
            re = medium.ReDensity;
            im = medium.ImDensity;
        }
        if (reach > 0.0) {
            const auto first = std::lower_bound(tops.begin(), tops.end(), z - reach);
            const auto last = std::upper_bound(first, tops.end(), z + reach);
            for (auto it = first; it != last; ++it) {
                const std::size_t i = static_cast<std::size_t>(it - tops.begin());
                const double sigma = slabs[i].Roughness;
                if (sigma == 0.0) continue;
                const double x = (z - tops[i]) / sigma;
                const double tail = 0.5 * std::erfc(std::fabs(x) / std::sqrt(2.0));
                const double sign = z >= tops[i] ? -1.0 : 1.0;
                const double stepRe = slabs[i].ReDensity - (i == 0 ? 0.0 : slabs[i - 1].ReDensity);
                const double stepIm = slabs[i].ImDensity - (i == 0 ? 0.0 : slabs[i - 1].ImDensity);
                re += sign * tail * stepRe;
                im += sign * tail * stepIm;
            }
        }
        profile.ReDensity[p] = re;
        profile.ImDensity[p] = im;
    }
    return profile;
}

DepthRange ProfileDepthRange(const LayerModel& model) {
    const std::vector<ProfileSlab> slabs = ProfileSlabs(model);
    const double thickness = SampleThickness(slabs);
    const double room = std::max(30.0, thickness / 8.0);
    DepthRange range;
    range.Top = -std::max(room, 4.0 * slabs.front().Roughness);
    range.Bottom = thickness + std::max(room, 4.0 * slabs.back().Roughness);
    return range;
}

std::vector<double> ProfileDepths(const LayerModel& model, int points) {
    const DepthRange range = ProfileDepthRange(model);
    const int n = std::max(points, 2);
    std::vector<double> depths(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        depths[static_cast<std::size_t>(i)] =
            range.Top + (range.Bottom - range.Top) * static_cast<double>(i) / (n - 1);
    return depths;
}

}  // namespace korvel
