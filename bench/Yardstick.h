#pragma once
// The yardstick of the benchmark: a plain complex-arithmetic Parratt recursion as
// the common open reflectivity kernels write it. The repeat unit is written out,
// every medium's kz is one complex square root, and the roughness enters as the
// Nevot-Croce factor exp(-2 kz_upper kz_lower sigma^2) with the exact kz.

#include <complex>
#include <vector>

namespace korvel::bench {

struct YardstickMedium {
    std::complex<double> Index;  // n = 1 - delta - i beta
    double Thickness = 0.0;      // angstrom
    double Roughness = 0.0;      // of the interface at the top of this medium, angstrom
};

// R at every c2 = cos^2(theta); media from the vacuum (first) to the substrate (last).
void YardstickCurve(const std::vector<YardstickMedium>& media, double wavelength,
                    const std::vector<double>& cosSquared, std::vector<double>& reflectivity);

}  // namespace korvel::bench
