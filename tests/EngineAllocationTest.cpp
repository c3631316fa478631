// A fit evaluates the same curve thousands of times: after the first evaluation
// has sized the engine's working arrays, further evaluations of a curve of the same
// shape must not touch the heap, whatever the mode and the thread count. The global
// allocation functions of this test program count while a test asks them to.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "EngineTestModels.h"
#include "fit/CurveEvaluation.h"

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

TEST(EngineAllocation, RepeatedEvaluationsOfOneCurveDoNotAllocate) {
    TestSample sample;
    sample.Top = {{25.0, 5e-6, 2e-7, 2.0}};
    sample.Unit = {{20.0, 8e-6, 5e-7, 3.0}, {30.0, 3e-6, 1e-8, 3.0}};
    sample.RepeatCount = 40;
    sample.Substrate = SiliconLike(3.0);
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
