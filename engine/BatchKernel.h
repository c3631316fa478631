#pragma once
// The batch reflectivity kernel: the reflectivity of every point of a curve by the
// run's calculation mode, computed block by block over the points with vector code
// and, for long curves, on several threads. It gives the values of the per-point
// reference functions (ParrattReflectivity, MatrixReflectivity, FourierReflectivity)
// to rounding: every point whose batch value is not finite, or lies where the two
// formulations could part by more than rounding, is recomputed by the reference
// function itself. Results do not depend on the number of threads.

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "engine/BatchBlock.h"
#include "engine/OpticalStack.h"
#include "engine/ThreadPool.h"

namespace korvel {

// The contents of a workspace's EngineCache.
struct EngineCacheState {
    EvaluationContext Context;
    batch::StackConstants Constants;
    std::vector<batch::BlockScratch> Scratch;  // one per thread
    std::vector<double> Reflectivity;
    std::unique_ptr<ThreadPool> Pool;
    // Processors of the machine, asked once: the query reads a system file each time.
    unsigned Processors = 0;
    // The current evaluation, read by every thread's blocks. It lives here on the
    // heap, not on the caller's stack: a cache line shared with the caller's busy
    // stack would be taken from the other threads at every write.
    struct Job {
        const EvaluationContext* Context = nullptr;
        char Mode = 'P';
        std::span<const double> CosSquared;
        std::span<double> Reflectivity;
    } CurrentJob;
    // Runs one block of CurrentJob; captures only the state, so assigning it does not
    // allocate.
    std::function<void(int, unsigned)> Task;
};

// The reference value at one point: mode 'M' the Matrix method, mode 'F' the Fourier
// method where FourierApplies (the context through FourierSetup), Parratt otherwise.
double ReferencePointReflectivity(const EvaluationContext& context, char mode, double c2);

// Reflectivity at every point, cosSquared[k] -> reflectivity[k], by mode 'P', 'M' or
// 'F' (in mode 'F' the Fourier method where FourierApplies, Parratt elsewhere; the
// context must have been through FourierSetup). A non-finite value is returned only
// where the reference function gives one. `threads` 0 means one per processor.
void BatchReflectivity(const EvaluationContext& context, char mode,
                       std::span<const double> cosSquared, std::span<double> reflectivity,
                       EngineCacheState& state, unsigned threads);

// The instruction-set variant of the block kernels this processor runs: "AVX-512",
// "AVX2" or "baseline".
const char* BatchKernelVariant();

}  // namespace korvel
