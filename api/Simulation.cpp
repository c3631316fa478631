// The simulation of a sample at given angles or Qz, on a session of its own, and the
// .sml text of the result.

#include <cmath>
#include <string>
#include <vector>

#include "api/Conversion.h"
#include "base/RunError.h"
#include "fit/CurveEvaluation.h"
#include "fit/FitSession.h"
#include "input/ModelReader.h"
#include "korvel/korvel.h"
#include "output/SimulationText.h"

namespace korvel::api {

namespace {

constexpr std::size_t kMostPoints = 65535;  // the point count is 16-bit
constexpr const char* kPlace = "Simulate";

std::string PointPlace(std::size_t i, double theta) {
    return std::string(kPlace) + ", point " + std::to_string(i + 1) +
           ": theta = " + ExactText(theta) + " deg";
}

// The angles with their cos^2, as the simulation run fills its grid; the smearing walks
// along increasing angles, and at 90 degrees and beyond the optics have no meaning.
void FillAngles(FitSession& session, const std::vector<double>& theta) {
    if (theta.size() > kMostPoints)
        throw RunError("Too many angles: a curve holds at most 65535 points.", kPlace);
    CurveArrays& curves = session.Curves;
    curves.Resize(static_cast<std::uint16_t>(theta.size()));
    for (std::size_t i = 0; i < theta.size(); ++i) {
        if (!std::isfinite(theta[i]))
            throw RunError("Invalid numeric input", PointPlace(i, theta[i]));
        if (!(theta[i] < 90.0))
            throw RunError("Glancing angle of 90 degrees or more.", PointPlace(i, theta[i]));
        if (i > 0 && theta[i] < theta[i - 1])
            throw RunError("The angles of a simulation must not decrease from point to point.",
                           PointPlace(i, theta[i]));
        curves.Angle[i] = theta[i];
        curves.CosSquared[i] = CosSquaredOfAngle(theta[i]);
        curves.MeasuredIntensity[i] = 1.0;
        curves.Uncertainty[i] = 0.01;
    }
}

Simulation Compute(const Sample& sample, const std::vector<double>& theta, CalculationMethod method,
                   double cutOff, unsigned threads, const std::vector<double>& resolution) {
    if (!std::isfinite(cutOff))
        throw RunError("Invalid numeric input", "Simulate: the cut-off level");
    FitSession session;
    session.Model = ToLayerModel(sample, "sample");
    session.Settings.CalculationMode = MethodLetter(method);
    session.Settings.CutOffLevel = cutOff;
    session.Options.Threads = threads;
    FillAngles(session, theta);

    // Nothing is free: the one vertex is empty and the model is computed as it stands.
    FreeParameters& free = session.Free;
    free.StepPercent.assign(session.Model.ParameterCount, 0.0);
    free.FreeFlags.assign(session.Model.ParameterCount, false);
    free.FreeCount = 0;
    free.AllocateSimplex();
    free.VertexHoldsValues = true;

    Simulation simulation;
    simulation.Wavelength = sample.Wavelength;
    if (theta.empty()) return simulation;
    session.Fit.SkipFigureOfMerit = true;
    try {
        if (!resolution.empty()) {
            if (resolution.size() != theta.size())
                throw RunError("The curve has " + std::to_string(theta.size()) +
                               " angles but " + std::to_string(resolution.size()) +
                               " resolutions.");
            session.Curves.Resolution = resolution;
            session.Options.Resolution = korvel::ResolutionSource::Data;
            PrepareResolution(session);
        }
        EvaluateCurve(session, free.Vertices[0]);
    } catch (...) {
        RethrowWithPlace(kPlace);
    }
    const CurveArrays& curves = session.Curves;
    simulation.Computed = ToCurve(curves.Angle, curves.CalculatedCurve);
    simulation.Smeared = ToCurve(curves.Angle, curves.SmearedCurve);
    return simulation;
}

}  // namespace

Simulation Simulate(const Sample& sample, const std::vector<double>& theta,
                    CalculationMethod method, double cutOff, unsigned threads,
                    const std::vector<double>& resolution) {
    return Compute(sample, theta, method, cutOff, threads, resolution);
}

Simulation SimulateQz(const Sample& sample, const std::vector<double>& qz, CalculationMethod method,
                      double cutOff, unsigned threads, const std::vector<double>& resolution) {
    CheckWavelength(sample.Wavelength, "sample: the wavelength");
    std::vector<double> theta(qz.size());
    // The place is spelled out only for a point that fails.
    auto where = [](std::size_t i) {
        return std::string(kPlace) + ", point " + std::to_string(i + 1);
    };
    for (std::size_t i = 0; i < qz.size(); ++i) {
        if (!std::isfinite(qz[i])) throw RunError("Invalid numeric input", where(i));
        try {
            theta[i] = QzToAngle(qz[i], sample.Wavelength);
        } catch (const RunError& e) {
            throw RunError(e.Message(), where(i) + " (" + e.Where() + ")");
        }
    }
    Simulation simulation = Compute(sample, theta, method, cutOff, threads, resolution);
    simulation.QzAbscissa = true;
    return simulation;
}

std::string FormatSml(const Simulation& simulation) {
    const Curve& smeared = simulation.Smeared;
    if (smeared.Intensity.size() != smeared.Theta.size())
        throw RunError("The curve has " + std::to_string(smeared.Theta.size()) + " angles but " +
                           std::to_string(smeared.Intensity.size()) + " intensities.",
                       "simulation");
    if (simulation.QzAbscissa) CheckWavelength(simulation.Wavelength, "simulation: the wavelength");
    return SmlText(smeared.Theta, smeared.Intensity, simulation.QzAbscissa, simulation.Wavelength,
                   "");
}

}  // namespace korvel::api
