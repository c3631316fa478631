// Drives the batch kernel: the point-independent constants of the stack once per
// evaluation, the points in blocks of consecutive points (each block sorting its own
// points by the method that computes them), the blocks spread over the workspace's
// threads, and the reference functions for the points a block marks as unreliable.

#include "engine/BatchKernel.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>

#include "engine/FourierMethod.h"
#include "engine/MatrixMethod.h"
#include "engine/Parratt.h"

namespace korvel {

namespace {

constexpr double kFourPi = 12.566370614359172;
// Below this many interface-points of work a curve is computed on the calling
// thread alone: waking the workers would cost more than it saves.
constexpr long kParallelWork = 8000;
constexpr unsigned kMostThreads = 64;
// A Parratt phase factor below this modulus (about 8e-31) counts as 0: dropping what
// passes such a layer moves the amplitude at the top by about as much, so R by a
// relative 2 |P| / sqrt(R), below 1e-10 wherever R is above 1e-39.
constexpr double kOpaquePhase = 0x1p-100;
constexpr double kOpaqueExponent = 69.0;  // just below -ln(2^-100) = 69.3

enum class Kind { Parratt, Matrix, Fourier };

int DistinctIndex(std::vector<double>& values, double value) {
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] == value) return static_cast<int>(i);
    values.push_back(value);
    return static_cast<int>(values.size()) - 1;
}

// The step at the top of entry `entry` under entry `above`, damped as Damping does.
batch::FourierStep StepOf(const EvaluationContext& context, int entry, int above,
                          std::vector<double>& roughness) {
    const StackLayer& medium = context.LayerStack[entry];
    batch::FourierStep step;
    step.Delta = medium.Delta;
    if (medium.Roughness != 0.0 && medium.Delta != context.LayerStack[above].Delta)
        step.Damping = DistinctIndex(roughness, medium.Roughness);
    return step;
}

// Depths and steps of the layers first .. last, starting at depth `top`, as the
// reference method's running depth z takes them.
void FillFourierBlock(const EvaluationContext& context, int first, int last, double top,
                      std::vector<double>& depths, std::vector<batch::FourierStep>& steps,
                      std::vector<double>& roughness) {
    depths.clear();
    steps.clear();
    if (last < first) return;
    double z = top;
    depths.push_back(z);
    for (int l = first; l <= last; ++l) {
        z = z + context.LayerStack[l].Thickness;
        depths.push_back(z);
        steps.push_back(StepOf(context, l, l - 1, roughness));
    }
}

void BuildFourierConstants(const EvaluationContext& context, batch::FourierBlockConstants& f) {
    const int n1 = context.TopLayerCount;
    const int n2 = context.RepeatUnitLayerCount;
    const int layers = context.FilmLayerCount();
    f.FourPiOverLambda = kFourPi / context.Wavelength;
    f.WaveNumber = context.WaveNumber;
    f.K4 = context.K4;
    f.MeanDelta = context.MeanDelta;
    f.TotalThickness = context.TotalThickness;
    f.RepeatUnitThickness = context.RepeatUnitThickness;
    f.RepeatCount = context.RepeatCount;
    f.Roughness.clear();
    f.Substrate = StepOf(context, layers + 1, layers, f.Roughness);
    FillFourierBlock(context, 1, n1, 0.0, f.TopDepths, f.TopSteps, f.Roughness);
    FillFourierBlock(context, n1 + n2 + 1, layers,
                     context.TopThickness + context.RepeatCount * context.RepeatUnitThickness,
                     f.BottomDepths, f.BottomSteps, f.Roughness);
    if (context.RepeatUnitThickness != 0.0)
        FillFourierBlock(context, n1 + 1, n1 + n2, context.TopThickness, f.UnitDepths, f.UnitSteps,
                         f.Roughness);
    else
        FillFourierBlock(context, 1, 0, 0.0, f.UnitDepths, f.UnitSteps, f.Roughness);
}

// Work per point, in interfaces, to decide whether threads pay: each medium once,
// and the repeat unit's power about as much as eight more (it does not grow with N).
long WorkPerPoint(const batch::StackConstants& k) { return k.Layers() + 2 + 8; }

// One block of consecutive points of the current job, on the scratch of `thread`.
void ComputeBlock(EngineCacheState& state, int block, unsigned thread) {
    using batch::kLanes;
    const EvaluationContext& context = *state.CurrentJob.Context;
    const char mode = state.CurrentJob.Mode;
    const std::span<const double> cosSquared = state.CurrentJob.CosSquared;
    const std::span<double> reflectivity = state.CurrentJob.Reflectivity;
    const batch::StackConstants& constants = state.Constants;
    batch::BlockScratch& s = state.Scratch[thread];
    const int first = block * kLanes;
    const int count = std::min(kLanes, static_cast<int>(cosSquared.size()) - first);
    // The points of one kernel's share, as offsets into the curve.
    int parratt[kLanes];
    int other[kLanes];
    int parrattCount = 0;
    int otherCount = 0;
    if (mode == 'F') {
        for (int i = 0; i < count; ++i) {
            const int p = first + i;
            if (FourierApplies(context, cosSquared[p]))
                other[otherCount++] = p;
            else
                parratt[parrattCount++] = p;
        }
    } else {
        int* list = mode == 'M' ? other : parratt;
        for (int i = 0; i < count; ++i) list[i] = first + i;
        (mode == 'M' ? otherCount : parrattCount) = count;
    }
    const auto run = [&](Kind kind, const int* list, int n) {
        if (n == 0) return;
        // Lanes past the share repeat its last point; their results are dropped.
        for (int i = 0; i < kLanes; ++i) s.CosSquared.v[i] = cosSquared[list[std::min(i, n - 1)]];
        switch (kind) {
            case Kind::Parratt:
                batch::ParrattBlock(constants, s);
                break;
            case Kind::Matrix:
                batch::MatrixBlock(constants, s);
                break;
            case Kind::Fourier:
                batch::FourierBlock(constants, s);
                break;
        }
        for (int i = 0; i < n; ++i) {
            double r = s.Reflectivity.v[i];
            if (s.Unreliable.v[i] != 0.0 || !std::isfinite(r))
                r = ReferencePointReflectivity(context, mode, s.CosSquared.v[i]);
            reflectivity[list[i]] = r;
        }
    };
    run(Kind::Parratt, parratt, parrattCount);
    run(mode == 'M' ? Kind::Matrix : Kind::Fourier, other, otherCount);
}

}  // namespace

double ReferencePointReflectivity(const EvaluationContext& context, char mode, double c2) {
    if (mode == 'M') return MatrixReflectivity(context, c2);
    if (mode == 'F' && FourierApplies(context, c2)) return FourierReflectivity(context, c2);
    return ParrattReflectivity(context, c2);
}

void batch::BuildStackConstants(const EvaluationContext& context, bool fourier,
                                StackConstants& constants) {
    constants.Top = context.TopLayerCount;
    constants.Unit = context.RepeatUnitLayerCount;
    constants.Bottom = context.BottomLayerCount;
    constants.RepeatCount = context.RepeatCount;
    const double q = kFourPi / context.Wavelength;
    constants.RoughnessScale = -(q * q) / 2.0;
    const double k = context.WaveNumber;
    bool amplifies = false;
    constants.Media.resize(context.LayerStack.size());
    for (std::size_t j = 0; j < context.LayerStack.size(); ++j) {
        const StackLayer& layer = context.LayerStack[j];
        MediumConstants& m = constants.Media[j];
        const double nRe = layer.IndexRe;
        const double nIm = layer.IndexIm;
        m.SquareRe = nRe * nRe - nIm * nIm;
        m.SquareIm = 2.0 * nRe * nIm;
        m.FirstOrderRe = 2.0 * (1.0 - nRe);
        m.FirstOrderIm = nIm == 0.0 ? -0.0 : 2.0 * nIm;
        m.Thickness = layer.Thickness;
        m.Roughness = layer.Roughness;
        m.PhaseConstantIm = context.PhaseConstant.Im;
        m.MatrixPhase = 2.0 * k * layer.Thickness;
        amplifies = amplifies || !(nIm <= 0.0 && layer.Thickness >= 0.0);
        // |Im f| is largest at theta = 0, where it is at most sqrt|n^2 - 1|: a thinner or
        // clearer layer never gets below kOpaquePhase.
        const double steepest = layer.Thickness * std::fabs(m.PhaseConstantIm) *
                                std::sqrt(std::hypot(m.SquareRe - 1.0, m.SquareIm));
        m.OpaquePhase = steepest > kOpaqueExponent ? kOpaquePhase : 0.0;
    }
    if (amplifies)
        for (MediumConstants& m : constants.Media) m.OpaquePhase = 0.0;
    constants.OpaqueUnit = false;
    for (int j = constants.Top + 1; j <= constants.Top + constants.Unit; ++j)
        constants.OpaqueUnit = constants.OpaqueUnit || constants.Media[j].OpaquePhase != 0.0;
    if (fourier)
        BuildFourierConstants(context, constants.Fourier);
    else
        constants.Fourier.Roughness.clear();
}

void batch::BlockScratch::Reserve(const StackConstants& constants) {
    const std::size_t unit = static_cast<std::size_t>(constants.Unit);
    if (UnitWave.size() < unit) UnitWave.resize(unit);
    if (UnitPhase.size() < unit) UnitPhase.resize(unit);
    if (UnitCoefficient.size() < unit + 1) UnitCoefficient.resize(unit + 1);
    if (Damping.size() < constants.Fourier.Roughness.size())
        Damping.resize(constants.Fourier.Roughness.size());
}

const char* BatchKernelVariant() {
#ifdef KORVEL_HAS_VECTOR_CLONES
    // The loader's own rule for target_clones: the variant of highest priority the
    // processor supports, AVX-512 before AVX2 before the default.
    if (__builtin_cpu_supports("avx512f")) return "AVX-512";
    if (__builtin_cpu_supports("avx2")) return "AVX2";
#endif
    return "baseline";
}

void BatchReflectivity(const EvaluationContext& context, char mode,
                       std::span<const double> cosSquared, std::span<double> reflectivity,
                       EngineCacheState& state, unsigned threads) {
    using batch::kLanes;
    batch::StackConstants& constants = state.Constants;
    batch::BuildStackConstants(context, mode == 'F', constants);

    // Blocks of consecutive points, so nothing is sorted or listed on the calling
    // thread before the others can start. In mode 'F' a block sorts its own points
    // into Fourier ones and Parratt ones (below four critical angles) and runs each
    // kernel on its share; a curve ordered by angle has at most one such mixed block.
    const int points = static_cast<int>(cosSquared.size());
    const int blocks = (points + kLanes - 1) / kLanes;

    if (threads == 0 && state.Processors == 0)
        state.Processors = std::max(1u, std::thread::hardware_concurrency());
    const unsigned poolSize = std::min(kMostThreads, threads != 0 ? threads : state.Processors);
    const long work = static_cast<long>(points) * WorkPerPoint(constants);
    const bool parallel = poolSize > 1 && blocks >= 2 && work >= kParallelWork;
    if (parallel && (!state.Pool || state.Pool->Size() != poolSize))
        state.Pool = std::make_unique<ThreadPool>(poolSize);
    const unsigned used = parallel ? poolSize : 1;
    if (state.Scratch.size() < used) state.Scratch.resize(used);
    for (unsigned t = 0; t < used; ++t) state.Scratch[t].Reserve(constants);

    state.CurrentJob = {&context, mode, cosSquared, reflectivity};
    std::function<void(int, unsigned)>& task = state.Task;
    if (!task) task = [&state](int block, unsigned thread) { ComputeBlock(state, block, thread); };
    if (parallel)
        state.Pool->Run(blocks, task);
    else
        for (int block = 0; block < blocks; ++block) task(block, 0);
}

}  // namespace korvel
