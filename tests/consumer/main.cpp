// Includes the installed public header, checks that it belongs to the package found,
// and uses the library: a bare substrate reflects as Fresnel's formula says, and a
// refused input arrives as korvel::RunError with its place.
#include <korvel/korvel.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <string_view>
#include <vector>

namespace {

// Fresnel reflectivity of a smooth substrate of index n = 1 - delta - i beta at the
// glancing angle theta (degrees): r = (kz0 - kz1) / (kz0 + kz1), kz ~ sqrt(n^2 - cos^2).
double Fresnel(double thetaDegrees, double delta, double beta) {
    const double theta = thetaDegrees * std::numbers::pi / 180.0;
    const std::complex<double> n(1.0 - delta, -beta);
    const std::complex<double> kz0(std::sin(theta), 0.0);
    const std::complex<double> kz1 = std::sqrt(n * n - std::cos(theta) * std::cos(theta));
    return std::norm((kz0 - kz1) / (kz0 + kz1));
}

}  // namespace

int main() {
    if (std::string_view(korvel::kVersion) != KORVEL_PACKAGE_VERSION) {
        std::fprintf(stderr, "header version %s, package version %s\n", korvel::kVersion,
                     KORVEL_PACKAGE_VERSION);
        return 1;
    }

    // Silicon for copper K-alpha: its critical angle is near 0.22 degrees.
    korvel::api::Sample substrate;
    substrate.Layers = {{0.0, 7.6e-6, 1.7e-7, 0.0}};
    const std::vector<double> theta = {0.1, 0.2, 0.3, 0.5, 1.0, 2.0};
    const korvel::api::Simulation simulation = korvel::api::Simulate(substrate, theta);
    if (simulation.Smeared.Intensity.size() != theta.size()) {
        std::fprintf(stderr, "%zu points computed for %zu angles\n",
                     simulation.Smeared.Intensity.size(), theta.size());
        return 1;
    }
    for (std::size_t i = 0; i < theta.size(); ++i) {
        const double expected = Fresnel(theta[i], 7.6e-6, 1.7e-7);
        const double computed = simulation.Computed.Intensity[i];
        if (!(std::abs(computed - expected) <= 1e-4 * expected)) {
            std::fprintf(stderr, "theta %g: reflectivity %.10g, Fresnel %.10g\n", theta[i],
                         computed, expected);
            return 1;
        }
    }

    try {
        korvel::api::Simulate(substrate, {0.3, 0.2});
        std::fprintf(stderr, "decreasing angles were accepted\n");
        return 1;
    } catch (const korvel::RunError& error) {
        if (error.Where().empty()) {
            std::fprintf(stderr, "the error names no place: %s\n", error.what());
            return 1;
        }
    }

    std::printf("Korvel %s: R(%g deg) = %.6g\n", korvel::kVersion, theta[3],
                simulation.Computed.Intensity[3]);
    return 0;
}
