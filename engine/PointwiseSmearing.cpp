// Pointwise Gaussian resolution smearing in Qz by Gauss-Legendre quadrature over
// +-3.5 standard deviations; see the header for the integral.

#include "engine/PointwiseSmearing.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "base/RunError.h"

namespace korvel {

void PointwiseSmearing::Clear() {
    Points = 0;
    NodesPerPoint = 0;
    NodeCosSquared.clear();
    NodeWeights.clear();
}

// The roots of the Legendre polynomial P_n by Newton's method from the asymptotic
// guesses cos(pi (i - 1/4) / (n + 1/2)); P_n and its derivative by the three-term
// recurrence (k + 1) P_{k+1} = (2k + 1) x P_k - k P_{k-1}. Weights 2 / ((1 - x^2) P_n'^2)
// (Abramowitz and Stegun 25.4.29).
void GaussLegendre(int count, std::vector<double>& nodes, std::vector<double>& weights) {
    nodes.assign(count, 0.0);
    weights.assign(count, 0.0);
    for (int i = 0; i < (count + 1) / 2; ++i) {
        double x = std::cos(std::numbers::pi * (i + 0.75) / (count + 0.5));
        double derivative = 0.0;
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p = 1.0;
            double previous = 0.0;
            for (int k = 0; k < count; ++k) {
                const double next = ((2.0 * k + 1.0) * x * p - k * previous) / (k + 1.0);
                previous = p;
                p = next;
            }
            derivative = count * (x * p - previous) / (x * x - 1.0);
            const double step = p / derivative;
            x -= step;
            if (std::abs(step) < 1e-16) break;
        }
        const double weight = 2.0 / ((1.0 - x * x) * derivative * derivative);
        nodes[i] = -x;
        nodes[count - 1 - i] = x;
        weights[i] = weight;
        weights[count - 1 - i] = weight;
    }
    if (count % 2 == 1) nodes[count / 2] = 0.0;  // exactly, whatever the iteration left
}

void PlanPointwiseSmearing(std::span<const double> cosSquared, std::span<const double> sigma,
                           double wavelength, PointwiseSmearing& plan) {
    plan.Clear();
    const int points = static_cast<int>(cosSquared.size());
    const int k = kResolutionNodes;
    std::vector<double> unitNodes;
    std::vector<double> unitWeights;
    GaussLegendre(k, unitNodes, unitWeights);
    // The Gaussian folded into the weights; the renormalisation per point below makes
    // the truncated Gaussian's integral 1 as well.
    for (int j = 0; j < k; ++j) {
        unitNodes[j] *= kResolutionReach;
        unitWeights[j] *= std::exp(-0.5 * unitNodes[j] * unitNodes[j]);
    }

    const double toQz = 4.0 * std::numbers::pi / wavelength;
    std::vector<double> nodeCosSquared(static_cast<std::size_t>(points) * k);
    std::vector<double> nodeWeights(nodeCosSquared.size());
    for (int i = 0; i < points; ++i) {
        // An unknown width (NaN, the data files' convention) leaves the point unsmeared.
        const double s = std::isnan(sigma[i]) ? 0.0 : sigma[i];
        const std::string where = "point " + std::to_string(i + 1);
        if (!(s >= 0.0) || !std::isfinite(s))
            throw RunError("The resolution of a data point is negative or infinite.", where);
        const double qz = toQz * std::sqrt(std::max(0.0, 1.0 - cosSquared[i]));
        double sum = 0.0;
        for (int j = 0; j < k; ++j) {
            const std::size_t n = static_cast<std::size_t>(i) * k + j;
            if (j == k / 2 || s == 0.0) {
                nodeCosSquared[n] = cosSquared[i];
            } else {
                const double sine = (qz + s * unitNodes[j]) / toQz;
                if (!(std::abs(sine) < 1.0))
                    throw RunError(
                        "The resolution of a data point reaches beyond the largest Qz of the "
                        "wavelength (4 pi / lambda).",
                        where);
                nodeCosSquared[n] = 1.0 - sine * sine;
            }
            const double weight = s == 0.0 ? (j == k / 2 ? 1.0 : 0.0) : unitWeights[j];
            nodeWeights[n] = weight;
            sum += weight;
        }
        for (int j = 0; j < k; ++j) nodeWeights[static_cast<std::size_t>(i) * k + j] /= sum;
    }
    plan.NodeCosSquared = std::move(nodeCosSquared);
    plan.NodeWeights = std::move(nodeWeights);
    plan.NodesPerPoint = k;
    plan.Points = points;
}

void SmearPointwise(const PointwiseSmearing& plan, std::span<const double> nodeReflectivity,
                    std::span<double> unsmeared, std::span<double> smeared) {
    const int k = plan.NodesPerPoint;
    for (int i = 0; i < plan.Points; ++i) {
        const std::size_t first = static_cast<std::size_t>(i) * k;
        double sum = 0.0;
        for (int j = 0; j < k; ++j) sum += plan.NodeWeights[first + j] * nodeReflectivity[first + j];
        unsmeared[i] = nodeReflectivity[first + k / 2];
        smeared[i] = sum;
    }
}

}  // namespace korvel
