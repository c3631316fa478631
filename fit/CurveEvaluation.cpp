// The curve evaluation: vertex -> model -> optical stack -> reflectivity at every
// point by the run's method -> cut-off floor -> resolution smearing -> scaling and
// reduced chi-square. Also the bare-substrate Fresnel reflectivity used for
// "Fresnel" residual weights and the rescaling of those weights.

#include "fit/CurveEvaluation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/RunError.h"
#include "fit/FitSession.h"
#include "engine/BatchKernel.h"
#include "engine/FourierMethod.h"
#include "engine/MatrixMethod.h"
#include "engine/OpticalStack.h"
#include "engine/Parratt.h"
#include "engine/PointwiseSmearing.h"
#include "engine/Smearing.h"
#include "fit/FigureOfMerit.h"
#include "base/ParameterIndex.h"

namespace korvel {

namespace {

enum class Method { Parratt, Matrix, Fourier };

const char* MethodName(Method method) {
    switch (method) {
        case Method::Parratt:
            return "Parratt";
        case Method::Matrix:
            return "Matrix";
        case Method::Fourier:
            return "Fourier";
    }
    return "";
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

[[noreturn]] void ThrowNotFinite(Method method, double angle) {
    throw RunError(std::string("Reflectivity is not a finite number (") + MethodName(method) +
                   " method at theta = " + Number(angle) + " deg).");
}

Method MethodOf(const EvaluationContext& context, char mode, double c2) {
    if (mode == 'M') return Method::Matrix;
    if (mode == 'F' && FourierApplies(context, c2)) return Method::Fourier;
    return Method::Parratt;
}

// The literal per-point loop: each point by its method's reference function.
void ReferenceReflectivities(const EvaluationContext& context, char mode,
                             std::span<const double> cosSquared,
                             std::vector<double>& reflectivity) {
    for (std::size_t k = 0; k < reflectivity.size(); ++k)
        reflectivity[k] = ReferencePointReflectivity(context, mode, cosSquared[k]);
}

double AngleOfCosSquared(double c2) {
    return std::asin(std::sqrt(std::max(0.0, 1.0 - c2))) * 180.0 / 3.141592653589793;
}

// The plan applies to the curve it was made for: a curve read or built since (a
// simulation grid, a new data file) carries no resolution column or other points.
bool SmearsPointwise(const FitSession& ws) {
    return !ws.DataResolution.Empty() && !ws.Curves.Resolution.empty() &&
           ws.DataResolution.Points == ws.Curves.PointCount;
}

// The reflectivity at each cos^2 into engine.Reflectivity, by the batch kernel or the
// literal functions, floored at the cut-off level; a value that is not finite stops
// the run naming its method and the angle `angleOf(k)`.
template <typename AngleOf>
void ComputeFloored(const FitSession& ws, const EvaluationContext& context, char mode,
                    std::span<const double> cosSquared, EngineCacheState& engine,
                    AngleOf angleOf) {
    std::vector<double>& reflectivity = engine.Reflectivity;
    reflectivity.resize(cosSquared.size());
    if (ws.Options.ReferenceEngine)
        ReferenceReflectivities(context, mode, cosSquared, reflectivity);
    else
        BatchReflectivity(context, mode, cosSquared, reflectivity, engine, ws.Options.Threads);
    const double cutOff = ws.Settings.CutOffLevel;
    for (std::size_t k = 0; k < cosSquared.size(); ++k) {
        double& r = reflectivity[k];
        if (!std::isfinite(r)) ThrowNotFinite(MethodOf(context, mode, cosSquared[k]), angleOf(k));
        if (r < cutOff) r = cutOff;
    }
}

}  // namespace

double EvaluateCurve(FitSession& ws, std::span<const double> vertex) {
    ++ws.Fit.EvaluationCount;  // 16 bits, wraps at 65536
    ++ws.Fit.Evaluations;
    MapVertexToModel(ws, vertex);

    EngineCacheState& engine = ws.Engine.State();
    EvaluationContext& context = engine.Context;
    BuildStack(ws.Model, context);
    const char mode = ws.Settings.CalculationMode;
    if (mode == 'F') FourierSetup(context);

    CurveArrays& curves = ws.Curves;
    const int points = curves.PointCount;
    if (SmearsPointwise(ws)) {
        // The oversampled curve of every point's quadrature nodes, in one batch; the
        // floor applies to each node as it does to each point of an unsmeared curve.
        const PointwiseSmearing& plan = ws.DataResolution;
        const std::span<const double> nodes(plan.NodeCosSquared);
        ComputeFloored(ws, context, mode, nodes, engine,
                       [&](std::size_t k) { return AngleOfCosSquared(nodes[k]); });
        SmearPointwise(plan, engine.Reflectivity, curves.CalculatedCurve, curves.SmearedCurve);
        // No wavelength-spread pass (the data's resolution holds it), and every point is
        // smeared fully: the nodes beyond the curve's ends are computed like any other.
        std::copy(curves.CalculatedCurve.begin(), curves.CalculatedCurve.end(),
                  curves.SpreadSmearedCurve.begin());
        ws.Fit.FitWindowFirst = 1;
        ws.Fit.FitWindowLast = static_cast<std::uint16_t>(points);
    } else {
        ComputeFloored(ws, context, mode, std::span(curves.CosSquared.data(), points), engine,
                       [&](std::size_t k) { return curves.Angle[k]; });
        std::copy_n(engine.Reflectivity.begin(), points, curves.CalculatedCurve.begin());
        SmearCurve(ws.Model.Header, ws.Curves, ws.Fit);
    }
    for (int k = 0; k < curves.PointCount; ++k)
        if (!std::isfinite(curves.SmearedCurve[k]))
            throw RunError("The smeared reflectivity is not a finite number (theta = " +
                           Number(curves.Angle[k]) + " deg); check the resolution numbers.");

    if (ws.Fit.SkipFigureOfMerit) return 0.0;
    return ScaleAndScore(ws);
}

bool UsesDataResolution(const FitSession& ws) {
    const bool column = !ws.Curves.Resolution.empty();
    switch (ws.Options.Resolution) {
        case ResolutionSource::Model:
            return false;
        case ResolutionSource::Data:
            if (!column)
                throw RunError(
                    "The data file gives no resolution of its points: the fit cannot smear "
                    "with the data's resolution.",
                    ws.Settings.DataFileName);
            return true;
        case ResolutionSource::Default:
            break;
    }
    return column;
}

void PrepareResolution(FitSession& ws) {
    if (!UsesDataResolution(ws)) {
        ws.DataResolution.Clear();
        return;
    }
    const CurveArrays& curves = ws.Curves;
    const int n = curves.PointCount;
    if (static_cast<int>(curves.Resolution.size()) != n)
        throw RunError("The resolution column does not match the data points.",
                       ws.Settings.DataFileName);
    try {
        PlanPointwiseSmearing(std::span(curves.CosSquared.data(), n),
                              std::span(curves.Resolution.data(), n), ws.Model.Header.Wavelength,
                              ws.DataResolution);
    } catch (const RunError& e) {
        throw RunError(e.Message(), ws.Settings.DataFileName + ", " + e.Where());
    }
}

double FresnelReflectivity(const FitSession& ws, double c2) {
    const int substrate = ws.Model.LayerCount;
    const double delta = ws.Model.Value(ParameterIndex(substrate, Column::ReDensity));
    const double beta = ws.Model.Value(ParameterIndex(substrate, Column::ImDensity));
    const Complex r = FresnelCoefficient(CMake(1.0), {1.0 - delta, -beta}, c2);
    return r.Re * r.Re + r.Im * r.Im;
}

void NormaliseWeights(FitSession& ws) {
    if (ws.Settings.DataScaled) return;  // a = b = 1
    CurveArrays& curves = ws.Curves;
    double a = 0.0;
    double b = 0.0;
    for (int i = 0; i < curves.PointCount; ++i) {
        a += curves.MeasuredIntensity[i] * curves.Uncertainty[i];
        b += curves.Uncertainty[i] * curves.Uncertainty[i];
    }
    if (b == 0.0)
        throw RunError("The residual weights cannot be normalised: every weight is zero.");
    if (!std::isfinite(a / b))
        throw RunError("The residual weights cannot be normalised: their scale is not finite.");
    for (int i = 0; i < curves.PointCount; ++i)
        curves.Uncertainty[i] = curves.Uncertainty[i] * a / b;
}

}  // namespace korvel
