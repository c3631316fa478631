#pragma once
// Pointwise resolution smearing: the reflectivity at each measured point averaged over
// a Gaussian in Qz whose standard deviation the data give for that point,
//   Rs(Q_i) = integral_{-a}^{a} phi(x) R(Q_i + sigma_i x) dx / integral_{-a}^{a} phi(x) dx,
// phi(x) = exp(-x^2 / 2), a = 3.5 (the Gaussian truncated at 3.5 standard deviations,
// where it has fallen to 0.2 % of its peak, and renormalised). The integral is taken by
// Gauss-Legendre quadrature on [-a, a] with phi folded into the weights; the node count
// is odd, so the middle node lies at Q_i and gives the unsmeared value there. The nodes
// of all points together form one oversampled curve that the engine computes in a single
// batch, so smearing costs the node count per point in reflectivity evaluations.
//
// Qz = 4 pi sin(theta) / lambda in 1/A; the engine's abscissa is c2 = cos^2(theta) =
// 1 - (Qz lambda / 4 pi)^2. A node below Qz = 0 takes the reflectivity at |Qz|: the
// specular reflectivity depends on Qz^2 only.

#include <span>
#include <vector>

namespace korvel {

// Nodes per point: 19 evaluations of the reflectivity for each measured one. The
// quadrature's error grows with the number of fringe periods the Gaussian spans: for
// resolutions up to 5 % of Qz (sigma) on films whose fringes the Gaussian spans up to
// six times, 19 nodes keep it below 1e-4 relative (17 nodes: 1.5e-3), and the cost
// within the 20 unsmeared evaluations a smeared one may take.
inline constexpr int kResolutionNodes = 19;
// Half width of the Gaussian taken, in standard deviations.
inline constexpr double kResolutionReach = 3.5;

// The nodes and weights of one curve's smearing, fixed for a fit: they depend on the
// measured points, their resolutions and the wavelength only.
struct PointwiseSmearing {
    int Points = 0;  // 0: no pointwise smearing planned
    int NodesPerPoint = 0;
    std::vector<double> NodeCosSquared;  // Points * NodesPerPoint, point by point
    std::vector<double> NodeWeights;     // the same layout; each point's sum is 1

    bool Empty() const { return Points == 0; }
    void Clear();
};

// The Gauss-Legendre nodes (ascending) and weights of `count` points on [-1, 1].
void GaussLegendre(int count, std::vector<double>& nodes, std::vector<double>& weights);

// Plans the smearing of the points with cos^2(theta) `cosSquared` and resolutions
// `sigma` (standard deviations in Qz, 1/A; 0 or NaN, unknown, leaves a point unsmeared)
// at `wavelength` (A). The middle node of each point is its own cos^2 exactly. Throws
// RunError, leaving `plan` empty, for a negative or infinite sigma, or a node beyond the
// largest Qz the wavelength reaches (4 pi / lambda), naming the point (1-based).
void PlanPointwiseSmearing(std::span<const double> cosSquared, std::span<const double> sigma,
                           double wavelength, PointwiseSmearing& plan);

// From the reflectivity at every node (NodeCosSquared's order): each point's middle
// node into `unsmeared` and its weighted sum into `smeared`.
void SmearPointwise(const PointwiseSmearing& plan, std::span<const double> nodeReflectivity,
                    std::span<double> unsmeared, std::span<double> smeared);

}  // namespace korvel
