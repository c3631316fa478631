// The dynamical methods against an independent textbook calculation written here
// with std::complex: k_z,j = k sqrt(n_j^2 - cos^2 theta) on the decaying branch for
// every medium and the Parratt recursion with the Nevot-Croce factor
// exp(-2 k_z,u k_z,l sigma^2), over a Qz grid that crosses the critical edges of the
// layers and the substrate. The samples are given as scattering length densities
// (angstrom^-2), delta + i beta = lambda^2 (rho + i rho_im) / (2 pi).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "EngineTestModels.h"
#include "engine/BatchKernel.h"
#include "engine/MatrixMethod.h"
#include "engine/Parratt.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kWavelength = 1.54;

TestLayer FromDensity(double thickness, double rho, double rhoIm, double roughness) {
    const double scale = kWavelength * kWavelength / (2.0 * kPi);
    return {thickness, rho * scale, rhoIm * scale, roughness};
}

// A uniform draw from the generator's raw output, the same on every library.
double Draw(std::mt19937_64& random, double low, double high) {
    return low + (high - low) * static_cast<double>(random() >> 11) * 0x1p-53;
}

// How the roughness factor takes the vertical components: exactly, or in the model's
// first-order form kz^2 = k^2 (sin^2 theta - 2 delta - 2i beta), on the same branch.
enum class RoughnessComponents { Exact, FirstOrder };

std::complex<double> DecayingRoot(std::complex<double> w) {
    const std::complex<double> root = std::sqrt(w);
    return root.imag() > 0.0 ? -root : root;  // the wave that decays downwards
}

// R of the sample at cos^2(theta) = c2, media from the vacuum to the substrate.
double TextbookReflectivity(const TestSample& sample, double c2,
                            RoughnessComponents components = RoughnessComponents::Exact) {
    using C = std::complex<double>;
    std::vector<TestLayer> media{TestLayer{}};
    media.insert(media.end(), sample.Top.begin(), sample.Top.end());
    for (int p = 0; p < sample.RepeatCount; ++p)
        media.insert(media.end(), sample.Unit.begin(), sample.Unit.end());
    media.insert(media.end(), sample.Bottom.begin(), sample.Bottom.end());
    media.push_back(sample.Substrate);
    const double k = 2.0 * kPi / sample.Wavelength;
    std::vector<C> kz, roughnessKz;
    for (const TestLayer& m : media) {
        const C n(1.0 - m.Delta, -m.Beta);
        kz.push_back(k * DecayingRoot(n * n - c2));
        roughnessKz.push_back(components == RoughnessComponents::Exact
                                  ? kz.back()
                                  : k * DecayingRoot(C(1.0 - c2 - 2.0 * m.Delta, -2.0 * m.Beta)));
    }
    // X_j = (r + X_(j+1) P_(j+1)) / (1 + r X_(j+1) P_(j+1)), P = exp(-2i kz d), X = 0 in
    // the substrate.
    C x = 0.0;
    for (std::size_t j = media.size() - 1; j-- > 0;) {
        const double sigma = media[j + 1].Roughness;
        const C r = (kz[j] - kz[j + 1]) / (kz[j] + kz[j + 1]) *
                    std::exp(-2.0 * roughnessKz[j] * roughnessKz[j + 1] * sigma * sigma);
        const C below = x * std::exp(C(0.0, -2.0) * kz[j + 1] * media[j + 1].Thickness);
        x = (r + below) / (1.0 + r * below);
    }
    return std::norm(x);
}

// cos^2(theta) of Qz = 4 pi sin(theta) / lambda from 0.002 to 0.25 per angstrom.
std::vector<double> QzGrid() {
    std::vector<double> c2;
    for (int i = 0; i <= 1000; ++i) {
        const double qz = 0.002 + (0.25 - 0.002) * i / 1000.0;
        const double s = qz * kWavelength / (4.0 * kPi);
        c2.push_back(1.0 - s * s);
    }
    return c2;
}

double Relative(double value, double reference) {
    return value == reference ? 0.0 : std::fabs(value - reference) / std::fabs(reference);
}

// Both literal methods within `tolerance` of the textbook at every point, and the
// batch kernel within 1e-10 of each literal method.
void ExpectTextbookAgreement(const TestSample& sample, double tolerance, const std::string& label,
                             RoughnessComponents components = RoughnessComponents::Exact) {
    const EvaluationContext context = MakeContext(sample);
    const std::vector<double> c2 = QzGrid();
    for (char mode : {'P', 'M'}) {
        std::vector<double> batch(c2.size());
        EngineCacheState state;
        BatchReflectivity(context, mode, c2, batch, state, 1);
        double worst = 0.0;
        double worstBatch = 0.0;
        for (std::size_t i = 0; i < c2.size(); ++i) {
            const double literal = mode == 'P' ? ParrattReflectivity(context, c2[i])
                                               : MatrixReflectivity(context, c2[i]);
            worst =
                std::max(worst, Relative(literal, TextbookReflectivity(sample, c2[i], components)));
            worstBatch = std::max(worstBatch, Relative(batch[i], literal));
        }
        EXPECT_LE(worst, tolerance) << label << ", mode " << mode;
        EXPECT_LE(worstBatch, 1e-10) << label << ", mode " << mode << ", batch against literal";
    }
}

TestSample AbsorbingFilm(double substrateAbsorption) {
    TestSample sample;
    sample.Wavelength = kWavelength;
    sample.Top = {FromDensity(1200.0, 2.6e-6, 1.6e-8, 10.0)};
    sample.Substrate = FromDensity(0.0, 4.3e-6, substrateAbsorption, 3.0);
    return sample;
}

}  // namespace

// Above the film's critical angle and below the substrate's, A B of the rough
// substrate interface crosses the negative real axis: the root of the product there
// is minus the product of the two vertical components.
TEST(TextbookReflectivity, AnAbsorbingFilmOnAClearSubstrateAcrossBothCriticalEdges) {
    ExpectTextbookAgreement(AbsorbingFilm(0.0), 1e-6, "clear substrate");
}

TEST(TextbookReflectivity, AnAbsorbingFilmOnASlightlyAbsorbingSubstrate) {
    ExpectTextbookAgreement(AbsorbingFilm(2e-10), 1e-6, "absorbing substrate");
}

TEST(TextbookReflectivity, TwentyRoughLayersOfRandomAbsorption) {
    std::mt19937_64 random(1980);
    for (int trial = 0; trial < 3; ++trial) {
        TestSample sample;
        sample.Wavelength = kWavelength;
        for (int l = 0; l < 20; ++l)
            sample.Top.push_back(FromDensity(30.0 + 5.0 * l, l % 2 == 0 ? 2.6e-6 : 4.3e-6,
                                             Draw(random, 0.0, 3e-7), 3.0 + 0.35 * l));
        sample.Substrate = FromDensity(0.0, 2.07e-6, Draw(random, 0.0, 3e-7), 4.0);
        ExpectTextbookAgreement(sample, 1e-6, "trial " + std::to_string(trial));
    }
}

// The model's roughness factor keeps the first-order components, which part from the
// exact ones by (delta + i beta)^2 and so by up to a few 1e-6 in R at a critical edge
// of a dense layer; with the same first-order components in the textbook factor, the
// methods agree to rounding on any stack, whatever the branches of its interfaces.
TEST(TextbookReflectivity, RandomStacksWithRepeatUnitsAgreeToRounding) {
    std::mt19937_64 random(1954);
    const auto layer = [&random](bool substrate) {
        TestLayer l =
            FromDensity(substrate ? 0.0 : Draw(random, 5.0, 200.0), Draw(random, 0.3e-6, 2e-5),
                        Draw(random, 0.0, 5e-7), Draw(random, 0.0, 12.0));
        if (random() % 4 == 0) l.Beta = 0.0;
        return l;
    };
    for (int trial = 0; trial < 12; ++trial) {
        TestSample sample;
        sample.Wavelength = kWavelength;
        for (int i = static_cast<int>(random() % 4); i > 0; --i) sample.Top.push_back(layer(false));
        for (int i = 1 + static_cast<int>(random() % 3); i > 0; --i)
            sample.Unit.push_back(layer(false));
        sample.RepeatCount = static_cast<int>(random() % 12);
        for (int i = static_cast<int>(random() % 3); i > 0; --i)
            sample.Bottom.push_back(layer(false));
        sample.Substrate = layer(true);
        ExpectTextbookAgreement(sample, 1e-9, "trial " + std::to_string(trial),
                                RoughnessComponents::FirstOrder);
    }
}
