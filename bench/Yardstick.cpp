// Plain std::complex Parratt recursion, periods written out, for comparison only.

#include "Yardstick.h"

#include <cmath>

namespace korvel::bench {

void YardstickCurve(const std::vector<YardstickMedium>& media, double wavelength,
                    const std::vector<double>& cosSquared, std::vector<double>& reflectivity) {
    const double k = 2.0 * 3.141592653589793 / wavelength;
    const std::size_t count = media.size();
    std::vector<std::complex<double>> kz(count);
    reflectivity.resize(cosSquared.size());
    for (std::size_t p = 0; p < cosSquared.size(); ++p) {
        for (std::size_t j = 0; j < count; ++j) {
            kz[j] = k * std::sqrt(media[j].Index * media[j].Index - cosSquared[p]);
            if (kz[j].imag() > 0.0) kz[j] = -kz[j];  // the decaying root
        }
        std::complex<double> x = 0.0;
        for (std::size_t j = count - 1; j-- > 0;) {
            const double sigma = media[j + 1].Roughness;
            std::complex<double> r = (kz[j] - kz[j + 1]) / (kz[j] + kz[j + 1]);
            r *= std::exp(-2.0 * kz[j] * kz[j + 1] * sigma * sigma);
            x = (r + x) / (1.0 + r * x);
            if (j > 0) x *= std::exp(std::complex<double>(0.0, -2.0) * kz[j] * media[j].Thickness);
        }
        reflectivity[p] = std::norm(x);
    }
}

}  // namespace korvel::bench
