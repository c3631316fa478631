// Smearing with each data point's own resolution: a Gaussian in Qz, truncated at 3.5
// standard deviations, by Gauss-Legendre quadrature on the oversampled curve of all the
// points' nodes. Held to a brute-force convolution written out here, to the literal
// engine, and to the rules of the fit window and of the choice of resolution.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "EngineTestModels.h"
#include "TestFiles.h"
#include "base/RunError.h"
#include "engine/BatchKernel.h"
#include "engine/PointwiseSmearing.h"
#include "fit/CurveEvaluation.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr double kPi = std::numbers::pi;

double QzOfAngle(double thetaDegrees, double wavelength) {
    return 4.0 * kPi * std::sin(thetaDegrees * kPi / 180.0) / wavelength;
}

double AngleOfQz(double qz, double wavelength) {
    return std::asin(qz * wavelength / (4.0 * kPi)) * 180.0 / kPi;
}

// A workspace on Qz points from `first` to `last` (1/A) with the resolution
// sigma = relative * Qz + absolute at each.
Workspace SmearedWorkspace(const TestSample& sample, double first, double last, int intervals,
                           double relative, double absolute) {
    std::vector<double> angles;
    for (int i = 0; i <= intervals; ++i)
        angles.push_back(AngleOfQz(first + (last - first) * i / intervals, sample.Wavelength));
    Workspace ws = MakeWorkspace(sample, angles);
    ws.Fit.SkipFigureOfMerit = true;
    for (double angle : angles)
        ws.Curves.Resolution.push_back(relative * QzOfAngle(angle, sample.Wavelength) + absolute);
    return ws;
}

// The smeared reflectivity at one point written out as the integral it is:
// integral over [-3.5, 3.5] of phi(x) R(Qz + sigma x) dx divided by that of phi, by
// composite Simpson's rule on 4000 intervals, each R by the literal Parratt recursion.
double BruteForceSmeared(const EvaluationContext& context, double qz, double sigma,
                         double wavelength) {
    constexpr int intervals = 4000;
    const double h = 2.0 * kResolutionReach / intervals;
    double weighted = 0.0;
    double norm = 0.0;
    for (int j = 0; j <= intervals; ++j) {
        const double x = -kResolutionReach + j * h;
        const double simpson = (j == 0 || j == intervals) ? 1.0 : (j % 2 == 1 ? 4.0 : 2.0);
        const double phi = std::exp(-0.5 * x * x);
        const double s = (qz + sigma * x) * wavelength / (4.0 * kPi);
        weighted += simpson * phi * ReferencePointReflectivity(context, 'P', 1.0 - s * s);
        norm += simpson * phi;
    }
    return weighted / norm;
}

double LargestRelativeError(const TestSample& sample, double first, double last, int intervals,
                            double relative, double absolute) {
    Workspace ws = SmearedWorkspace(sample, first, last, intervals, relative, absolute);
    ws.Settings.CalculationMode = 'P';
    PrepareResolution(ws);
    EvaluateCurve(ws, {});
    const EvaluationContext context = MakeContext(sample);
    double largest = 0.0;
    for (int i = 0; i < ws.Curves.PointCount; ++i) {
        const double qz = QzOfAngle(ws.Curves.Angle[i], sample.Wavelength);
        const double exact =
            BruteForceSmeared(context, qz, ws.Curves.Resolution[i], sample.Wavelength);
        largest = std::max(largest, std::abs(ws.Curves.SmearedCurve[i] / exact - 1.0));
    }
    return largest;
}

// A 250 A gold-like film on silicon for Cu K-alpha X-rays: a critical edge near
// Qz = 0.08 / A and fringes 0.025 / A apart.
TestSample GoldFilm() {
    TestSample sample;
    sample.Wavelength = 1.5406;
    sample.Top = {{250.0, 4.6e-5, 4.9e-6, 4.0}};
    sample.Substrate = SiliconLike(3.0);
    return sample;
}

// A 500 A nickel-like film on silicon for 5 A neutrons: fringes 0.0126 / A apart.
TestSample NickelFilm() {
    TestSample sample;
    sample.Wavelength = 5.0;
    sample.Top = {{500.0, 3.7e-5, 0.0, 5.0}};
    sample.Substrate = {0.0, 8.3e-6, 0.0, 3.0};
    return sample;
}

}  // namespace

TEST(PointwiseSmearing, GaussLegendreNodesIntegratePolynomialsToTheirDegreeExactly) {
    std::vector<double> nodes;
    std::vector<double> weights;
    GaussLegendre(kResolutionNodes, nodes, weights);
    ASSERT_EQ(nodes.size(), static_cast<std::size_t>(kResolutionNodes));
    EXPECT_EQ(nodes[kResolutionNodes / 2], 0.0);
    for (int degree = 0; degree < 2 * kResolutionNodes; ++degree) {
        double sum = 0.0;
        for (int j = 0; j < kResolutionNodes; ++j) sum += weights[j] * std::pow(nodes[j], degree);
        const double exact = degree % 2 == 1 ? 0.0 : 2.0 / (degree + 1);
        EXPECT_NEAR(sum, exact, 1e-14) << "degree " << degree;
    }
}

TEST(PointwiseSmearing, AgreesWithABruteForceConvolutionWithinOneInTenThousand) {
    // Resolutions from sharp (1 %) to coarse (5 % of Qz, a FWHM of 12 %), over the
    // critical edge and the fringes.
    for (const double relative : {0.01, 0.02, 0.05}) {
        EXPECT_LT(LargestRelativeError(GoldFilm(), 0.02, 0.45, 60, relative, 0.0), 1e-4)
            << "X-ray film, sigma = " << relative << " Qz";
        EXPECT_LT(LargestRelativeError(NickelFilm(), 0.008, 0.15, 60, relative, 0.0), 1e-4)
            << "neutron film, sigma = " << relative << " Qz";
    }
    // A constant width, as a monochromatic instrument with fixed slits gives.
    EXPECT_LT(LargestRelativeError(GoldFilm(), 0.02, 0.45, 60, 0.0, 0.002), 1e-4);
}

TEST(PointwiseSmearing, BatchEngineAgreesWithTheLiteralMethodsOnTheOversampledCurve) {
    for (const char mode : {'P', 'M', 'F'}) {
        Workspace batch = SmearedWorkspace(GoldFilm(), 0.02, 0.45, 200, 0.03, 0.0);
        batch.Settings.CalculationMode = mode;
        Workspace literal = batch;
        literal.Options.ReferenceEngine = true;
        PrepareResolution(batch);
        PrepareResolution(literal);
        EvaluateCurve(batch, {});
        EvaluateCurve(literal, {});
        for (int i = 0; i < batch.Curves.PointCount; ++i) {
            EXPECT_NEAR(batch.Curves.SmearedCurve[i] / literal.Curves.SmearedCurve[i], 1.0, 1e-10)
                << mode << " point " << i;
            EXPECT_NEAR(batch.Curves.CalculatedCurve[i] / literal.Curves.CalculatedCurve[i], 1.0,
                        1e-10)
                << mode << " point " << i;
        }
    }
}

TEST(PointwiseSmearing, KeepsAConstantCurveAndLeavesPointsOfZeroOrUnknownWidthUnsmeared) {
    const std::vector<double> cosSquared = {0.9999, 0.9998, 0.9995};
    PointwiseSmearing plan;
    PlanPointwiseSmearing(cosSquared, std::vector<double>{0.0, 0.003, std::nan("")}, 1.54, plan);
    const std::size_t nodes = plan.NodeCosSquared.size();
    ASSERT_EQ(nodes, 3u * kResolutionNodes);

    std::vector<double> unsmeared(3);
    std::vector<double> smeared(3);
    SmearPointwise(plan, std::vector<double>(nodes, 0.25), unsmeared, smeared);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(smeared[i], 0.25, 1e-15);

    // A curve rising with the node's Qz: the smeared value at a point of width 0 or
    // unknown width is its own, at the one of width 0.003 / A it is not.
    std::vector<double> rising(nodes);
    for (std::size_t k = 0; k < nodes; ++k) rising[k] = std::exp(40.0 * (1.0 - plan.NodeCosSquared[k]));
    SmearPointwise(plan, rising, unsmeared, smeared);
    EXPECT_EQ(smeared[0], unsmeared[0]);
    EXPECT_NE(smeared[1], unsmeared[1]);
    EXPECT_EQ(smeared[2], unsmeared[2]);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(unsmeared[i], std::exp(40.0 * (1.0 - cosSquared[i])));  // the middle node
}

TEST(PointwiseSmearing, RefusesAWidthReachingBeyondTheLargestQzOfTheWavelength) {
    PointwiseSmearing plan;
    // Qz = 8 / A at 1.54 A: sin(theta) = 0.98; 3.5 sigma = 0.35 / A more is beyond 1.
    const double s = 8.0 * 1.54 / (4.0 * kPi);
    const std::vector<double> cosSquared = {1.0 - s * s};
    EXPECT_EQ(RunErrorOf([&] { PlanPointwiseSmearing(cosSquared, std::vector<double>{0.1}, 1.54, plan); }),
              "The resolution of a data point reaches beyond the largest Qz of the wavelength "
              "(4 pi / lambda). | point 1");
    EXPECT_TRUE(plan.Empty());
    EXPECT_NE(RunErrorOf([&] { PlanPointwiseSmearing(cosSquared, std::vector<double>{-0.1}, 1.54, plan); }),
              "");
}

TEST(PointwiseSmearing, TheFitWindowTakesEveryPointAndTheModelLawsKeepTheirs) {
    TestSample sample = GoldFilm();
    Workspace ws = SmearedWorkspace(sample, 0.02, 0.45, 100, 0.03, 0.0);
    ws.Model.Header.ResolutionOffset1 = 0.01;
    ws.Model.Header.ResolutionOffset2 = 0.02;
    ws.Fit.SkipFigureOfMerit = false;

    PrepareResolution(ws);  // by default the data's resolution, since the curve has one
    EvaluateCurve(ws, {});
    EXPECT_EQ(ws.Fit.FitWindowFirst, 1);
    EXPECT_EQ(ws.Fit.FitWindowLast, 101);
    EXPECT_EQ(ws.Curves.SpreadSmearedCurve, ws.Curves.CalculatedCurve);

    // The model's laws: the window of the triangular smearing, as without the column.
    Workspace laws = ws;
    laws.Options.Resolution = ResolutionSource::Model;
    Workspace without = ws;
    without.Curves.Resolution.clear();
    for (Workspace* w : {&laws, &without}) {
        PrepareResolution(*w);
        EvaluateCurve(*w, {});
    }
    EXPECT_GT(laws.Fit.FitWindowFirst, 1);
    EXPECT_EQ(laws.Fit.FitWindowFirst, without.Fit.FitWindowFirst);
    EXPECT_EQ(laws.Fit.FitWindowLast, without.Fit.FitWindowLast);
    EXPECT_EQ(laws.Curves.SmearedCurve, without.Curves.SmearedCurve);

    // A plan left from an earlier curve does not apply to a new grid without the column.
    ws.Fit.SkipFigureOfMerit = true;
    ws.Curves.Resize(ws.Curves.PointCount);
    for (int i = 0; i < ws.Curves.PointCount; ++i) {
        ws.Curves.Angle[i] = without.Curves.Angle[i];
        ws.Curves.CosSquared[i] = without.Curves.CosSquared[i];
    }
    EvaluateCurve(ws, {});
    EXPECT_EQ(ws.Curves.SmearedCurve, without.Curves.SmearedCurve);
}

TEST(PointwiseSmearing, AskingForTheDataResolutionOfDataWithoutOneIsAnError) {
    Workspace ws = MakeWorkspace(GoldFilm(), AngleGrid(0.1, 3.0, 50));
    ws.Settings.DataFileName = "film.dat";
    ws.Options.Resolution = ResolutionSource::Data;
    EXPECT_EQ(RunErrorOf([&] { PrepareResolution(ws); }),
              "The data file gives no resolution of its points: the fit cannot smear with the "
              "data's resolution. | film.dat");
    ws.Options.Resolution = ResolutionSource::Default;
    EXPECT_FALSE(UsesDataResolution(ws));
}
