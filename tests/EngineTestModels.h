#pragma once
// Small helpers for the engine tests: a layer model and a workspace built from
// lists of layers, the cos^2 of an angle as the data readers compute it, and the
// repeat unit written out period by period.

#include <cmath>
#include <vector>

#include "app/Workspace.h"
#include "engine/OpticalStack.h"
#include "base/ParameterIndex.h"

namespace korvel::testing {

struct TestLayer {
    double Thickness = 0.0;  // angstrom
    double Delta = 0.0;
    double Beta = 0.0;
    double Roughness = 0.0;  // angstrom
};

struct TestSample {
    double Wavelength = 1.54;
    std::vector<TestLayer> Top;
    std::vector<TestLayer> Unit;
    int RepeatCount = 0;
    std::vector<TestLayer> Bottom;
    TestLayer Substrate;
};

// cos^2(theta) as sin^2((90 - theta) pi / 180), theta in degrees.
inline double CosSquaredOf(double thetaDegrees) {
    const double s = std::sin((90.0 - thetaDegrees) * 3.141592653589793 / 180.0);
    return s * s;
}

inline void FillModel(LayerModel& model, const TestSample& sample) {
    model.Header.Wavelength = sample.Wavelength;
    model.WaveNumber = 2.0 * 3.141592653589793 / sample.Wavelength;
    model.Counts.TopLayerCount = static_cast<std::uint8_t>(sample.Top.size());
    model.Counts.RepeatUnitLayerCount = static_cast<std::uint8_t>(sample.Unit.size());
    model.Counts.BottomLayerCount = static_cast<std::uint8_t>(sample.Bottom.size());
    model.Counts.RepeatCount = static_cast<std::uint8_t>(sample.RepeatCount);
    std::vector<TestLayer> layers = sample.Top;
    layers.insert(layers.end(), sample.Unit.begin(), sample.Unit.end());
    layers.insert(layers.end(), sample.Bottom.begin(), sample.Bottom.end());
    layers.push_back(sample.Substrate);
    model.LayerCount = static_cast<std::uint16_t>(layers.size());
    model.ParameterCount = static_cast<std::uint16_t>(4 * layers.size());
    model.Allocate();
    for (int l = 1; l <= static_cast<int>(layers.size()); ++l) {
        const TestLayer& layer = layers[l - 1];
        model.SetValue(ParameterIndex(l, Column::Thickness), layer.Thickness);
        model.SetValue(ParameterIndex(l, Column::ReDensity), layer.Delta);
        model.SetValue(ParameterIndex(l, Column::ImDensity), layer.Beta);
        model.SetValue(ParameterIndex(l, Column::Roughness), layer.Roughness);
    }
}

inline EvaluationContext MakeContext(const TestSample& sample) {
    LayerModel model;
    FillModel(model, sample);
    EvaluationContext context;
    BuildStack(model, context);
    return context;
}

// The same sample with the repeat unit written out RepeatCount times in the top block.
inline TestSample WrittenOut(const TestSample& sample) {
    TestSample out = sample;
    for (int p = 0; p < sample.RepeatCount; ++p)
        out.Top.insert(out.Top.end(), sample.Unit.begin(), sample.Unit.end());
    out.Unit.clear();
    out.RepeatCount = 0;
    return out;
}

// A workspace holding the sample and a curve on the given angles (degrees), with
// measured intensities 1 and weights 1; no free parameters.
inline Workspace MakeWorkspace(const TestSample& sample, const std::vector<double>& angles) {
    Workspace ws;
    FillModel(ws.Model, sample);
    ws.Curves.Resize(static_cast<std::uint16_t>(angles.size()));
    for (std::size_t i = 0; i < angles.size(); ++i) {
        ws.Curves.Angle[i] = angles[i];
        ws.Curves.CosSquared[i] = CosSquaredOf(angles[i]);
        ws.Curves.MeasuredIntensity[i] = 1.0;
        ws.Curves.Uncertainty[i] = 1.0;
    }
    ws.Free.FreeFlags.assign(ws.Model.ParameterCount, false);
    ws.Free.StepPercent.assign(ws.Model.ParameterCount, 0.0);
    ws.Free.FreeCount = 0;
    ws.Free.AllocateSimplex();
    ws.Free.VertexHoldsValues = true;
    return ws;
}

inline std::vector<double> AngleGrid(double first, double last, int intervals) {
    std::vector<double> angles;
    for (int i = 0; i <= intervals; ++i) angles.push_back(first + (last - first) * i / intervals);
    return angles;
}

// Bare silicon-like substrate for X-rays at 1.54 angstrom.
inline TestLayer SiliconLike(double roughness = 0.0) { return {0.0, 7.6e-6, 1.7e-7, roughness}; }

}  // namespace korvel::testing
