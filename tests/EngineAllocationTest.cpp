// A fit evaluates the same curve thousands of times: after the first evaluation
// has sized the engine's working arrays, further evaluations of a curve of the same
// shape must not touch the heap, whatever the mode and the thread count, nor must the
// fit's mapping of a vertex into the model and its scoring, nor a simplex iteration.
// The global allocation functions of this test program count while a test asks them to.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <numbers>
#include <vector>

#include "EngineTestModels.h"
#include "fit/CurveEvaluation.h"
#include "fit/FitProgress.h"
#include "fit/Objective.h"
#include "fit/Simplex.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace korvel;
using namespace korvel::testing;

namespace {

// A film on a 40-period multilayer.
TestSample Multilayer() {
    TestSample sample;
    sample.Top = {{25.0, 5e-6, 2e-7, 2.0}};
    sample.Unit = {{20.0, 8e-6, 5e-7, 3.0}, {30.0, 3e-6, 1e-8, 3.0}};
    sample.RepeatCount = 40;
    sample.Substrate = SiliconLike(3.0);
    return sample;
}

// The multilayer as a fit sees it: thickness and roughness of the film and of the
// first repeat-unit layer free, each vertex a different set of angles, the period
// held at 50 A (the second layer's thickness takes the rest).
Workspace FitWorkspace(char mode, unsigned threads) {
    Workspace ws = MakeWorkspace(Multilayer(), AngleGrid(0.0, 5.0, 2000));
    ws.Settings.CalculationMode = mode;
    ws.Options.Threads = threads;
    for (int j : {ParameterIndex(1, Column::Thickness), ParameterIndex(1, Column::Roughness),
                  ParameterIndex(2, Column::Thickness), ParameterIndex(2, Column::Roughness)})
        ws.Free.FreeFlags[j - 1] = true;
    ws.Free.FreeCount = 4;
    ws.Free.AllocateSimplex();
    ws.Free.VertexHoldsValues = false;
    const double quarter = std::numbers::pi / 4.0;  // the split's angles lie in [0, pi/2]
    ws.Free.FreeMid = {25.0, 2.0, quarter, 3.0};
    ws.Free.FreeHalfRange = {5.0, 1.0, quarter, 1.0};
    ws.Settings.RepeatUnitFixed = true;
    ws.Free.RepeatUnit.DependentThickness = ParameterIndex(3, Column::Thickness);
    ws.Free.RepeatUnit.RepeatUnitDivisor = {1, 1};
    ws.Free.RepeatUnit.RepeatUnitLength = 50.0;
    for (int i = 0; i < ws.Free.VertexCount; ++i)
        for (int k = 0; k < ws.Free.FreeCount; ++k)
            ws.Free.Vertices[i][k] = -0.3 - 0.4 * ((i + k) % 5) - 0.05 * i;
    return ws;
}

}  // namespace

TEST(EngineAllocation, RepeatedEvaluationsOfOneCurveDoNotAllocate) {
    const TestSample sample = Multilayer();
    for (unsigned threads : {1u, 2u})
        for (char mode : {'P', 'M', 'F'}) {
            Workspace ws = MakeWorkspace(sample, AngleGrid(0.0, 5.0, 2000));
            ws.Settings.CalculationMode = mode;
            ws.Options.Threads = threads;
            ws.Fit.SkipFigureOfMerit = true;
            EvaluateCurve(ws, {});  // sizes the working arrays, starts the threads
            g_allocations.store(0);
            g_counting.store(true);
            for (int i = 0; i < 5; ++i) EvaluateCurve(ws, {});
            g_counting.store(false);
            EXPECT_EQ(g_allocations.load(), 0) << "mode " << mode << ", " << threads << " threads";
        }
}

TEST(EngineAllocation, FitEvaluationsOfVerticesWithFreeParametersDoNotAllocate) {
    for (unsigned threads : {1u, 2u})
        for (char mode : {'P', 'M', 'F'}) {
            Workspace ws = FitWorkspace(mode, threads);
            const Objective merit = FigureOfMeritObjective(ws);
            merit(ws.Free.Vertices[0]);  // sizes the working arrays, starts the threads
            g_allocations.store(0);
            g_counting.store(true);
            for (int i = 1; i < ws.Free.VertexCount; ++i) {
                ws.Free.VertexMerit[i] = merit(ws.Free.Vertices[i]);
                // What the simplex evaluates: its own work vectors.
                ws.Free.Trial = ws.Free.Vertices[i - 1];
                merit(ws.Free.Trial);
            }
            g_counting.store(false);
            EXPECT_EQ(g_allocations.load(), 0) << "mode " << mode << ", " << threads << " threads";
            // The evaluations did map the vertices: the period stayed 50 A.
            const double period = ws.Model.Value(ParameterIndex(2, Column::Thickness)) +
                                  ws.Model.Value(ParameterIndex(3, Column::Thickness));
            EXPECT_NEAR(period, 50.0, 1e-12);
            EXPECT_EQ(ws.Fit.Evaluations, static_cast<std::uint64_t>(2 * ws.Free.VertexCount - 1));
        }
}

TEST(EngineAllocation, IterationsOfALocalSimplexRunDoNotAllocate) {
    Workspace ws = FitWorkspace('M', 1);
    const Objective merit = FigureOfMeritObjective(ws);
    for (int i = 0; i < ws.Free.VertexCount; ++i)
        ws.Free.VertexMerit[i] = merit(ws.Free.Vertices[i]);
    ws.Settings.MaxIterations = 30;
    ws.Settings.FitTolerance = 0.0;
    FitObserver silent;
    FitStop stop;
    g_allocations.store(0);
    g_counting.store(true);
    const int code = RunSimplex(ws, silent, stop, SimplexVariant::Local, merit);
    g_counting.store(false);
    EXPECT_EQ(code, kMaxIterationsExceeded);
    EXPECT_EQ(g_allocations.load(), 0);
}
