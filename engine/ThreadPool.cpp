// Worker threads for the batch reflectivity kernel. A job is published by one store
// to the claim counter; workers that are polling pick it up within a fraction of a
// microsecond, sleeping ones are woken through the condition variable. Waiting
// threads first poll with the processor's pause hint, then yield the processor for a
// while (on a machine busier than its cores, a polling thread must not keep the
// core from the thread it waits for), then sleep: nothing polls for long when idle.

#include "engine/ThreadPool.h"

#include <algorithm>
#include <chrono>

namespace korvel {

namespace {

using Clock = std::chrono::steady_clock;

// Polling with the pause hint, then with yields, then sleep.
constexpr auto kPauseTime = std::chrono::microseconds(20);
constexpr auto kSpinTime = std::chrono::microseconds(100);

constexpr int kItemBits = 24;
constexpr std::uint64_t kItemMask = (std::uint64_t{1} << kItemBits) - 1;
constexpr std::uint64_t kJobMask = ~kItemMask;  // job number and item count
constexpr int kMostItems = static_cast<int>(kItemMask);

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Polls `ready` for at most kSpinTime; whether it came true.
template <class Ready>
bool PollFor(const Ready& ready) {
    const Clock::time_point start = Clock::now();
    for (unsigned round = 1;; ++round) {
        if (ready()) return true;
        if (round % 16 == 0) {
            const Clock::duration waited = Clock::now() - start;
            if (waited >= kSpinTime) return false;
            if (waited >= kPauseTime) {
                std::this_thread::yield();
                continue;
            }
        }
        Pause();
    }
}

int ItemCount(std::uint64_t state) { return static_cast<int>((state >> kItemBits) & kItemMask); }

}  // namespace

ThreadPool::ThreadPool(unsigned threads) {
    for (unsigned t = 1; t < threads; ++t) workers_.emplace_back([this, t] { WorkerLoop(t); });
}

ThreadPool::~ThreadPool() {
    stopping_.store(true);
    { std::lock_guard<std::mutex> lock(mutex_); }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ThreadPool::Finish(int count) {
    if (completed_.fetch_add(1) + 1 == count && callerWaiting_.load()) {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_.notify_all();
    }
}

void ThreadPool::Work(std::uint64_t job, unsigned thread) {
    std::uint64_t state = claim_.load(std::memory_order_acquire);
    const int count = ItemCount(job);
    for (;;) {
        const auto item = static_cast<int>(state & kItemMask);
        if ((state & kJobMask) != job || item >= count) return;
        if (!claim_.compare_exchange_weak(state, state + 1, std::memory_order_acq_rel,
                                          std::memory_order_acquire))
            continue;
        // Holding an item of the job, so the job's task cannot change before it returns.
        try {
            (*task_.load(std::memory_order_relaxed))(first_.load(std::memory_order_relaxed) + item,
                                                     thread);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!error_) error_ = std::current_exception();
        }
        Finish(count);
        state = claim_.load(std::memory_order_acquire);
    }
}

void ThreadPool::Run(int count, const Task& task) {
    if (workers_.empty() || count <= 1) {
        for (int item = 0; item < count; ++item) task(item, 0);
        return;
    }
    for (int first = 0; first < count; first += kMostItems)
        RunJob(first, std::min(kMostItems, count - first), task);
    std::exception_ptr error;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::swap(error, error_);
    }
    if (error) std::rethrow_exception(error);
}

void ThreadPool::RunJob(int first, int count, const Task& task) {
    job_ = (job_ + 1) & 0xffff;
    const std::uint64_t job =
        job_ << (2 * kItemBits) | static_cast<std::uint64_t>(count) << kItemBits;
    completed_.store(0, std::memory_order_relaxed);
    task_.store(&task, std::memory_order_relaxed);
    first_.store(first, std::memory_order_relaxed);
    claim_.store(job);
    if (sleepers_.load() > 0) {
        { std::lock_guard<std::mutex> lock(mutex_); }
        wake_.notify_all();
    }
    Work(job, 0);
    // The items still out are running on workers; wait for them to return.
    const auto done = [this, count] { return completed_.load() == count; };
    if (PollFor(done)) return;
    std::unique_lock<std::mutex> lock(mutex_);
    callerWaiting_.store(true);
    finished_.wait(lock, done);
    callerWaiting_.store(false);
}

void ThreadPool::WorkerLoop(unsigned thread) {
    std::uint64_t seen = 0;
    const auto changed = [this, &seen] {
        return stopping_.load(std::memory_order_relaxed) ||
               (claim_.load(std::memory_order_relaxed) & kJobMask) != seen;
    };
    for (;;) {
        if (!PollFor(changed)) {
            std::unique_lock<std::mutex> lock(mutex_);
            sleepers_.fetch_add(1);
            wake_.wait(lock, [this, &seen] {
                return stopping_.load() || (claim_.load() & kJobMask) != seen;
            });
            sleepers_.fetch_sub(1);
        }
        if (stopping_.load()) return;
        seen = claim_.load(std::memory_order_acquire) & kJobMask;
        Work(seen, thread);
    }
}

}  // namespace korvel
