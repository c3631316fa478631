// Worker threads for the batch reflectivity kernel. Workers keep polling briefly
// after a job (a fit calls the evaluation back to back, so the next job usually
// follows within microseconds) and then sleep on a condition variable.

#include "engine/ThreadPool.h"

#include <chrono>

namespace korvel {

namespace {

constexpr auto kSpinTime = std::chrono::microseconds(100);

// Waiting threads yield rather than pause: on a machine busier than its cores a
// spinning thread would otherwise take the core from the thread it waits for.
void Relax() { std::this_thread::yield(); }

}  // namespace

ThreadPool::ThreadPool(unsigned threads) {
    for (unsigned t = 1; t < threads; ++t) workers_.emplace_back([this, t] { WorkerLoop(t); });
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ThreadPool::Work(std::uint32_t job, int count, const std::function<void(int, unsigned)>* task,
                      unsigned thread) {
    std::uint64_t state = claim_.load();
    for (;;) {
        const auto item = static_cast<std::uint32_t>(state);
        if (static_cast<std::uint32_t>(state >> 32) != job || item >= static_cast<unsigned>(count))
            return;
        if (!claim_.compare_exchange_weak(state, state + 1)) continue;
        try {
            (*task)(static_cast<int>(item), thread);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!error_) error_ = std::current_exception();
        }
        if (completed_.fetch_add(1) + 1 == count) {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_.notify_all();
        }
        state = claim_.load();
    }
}

void ThreadPool::Run(int count, const std::function<void(int, unsigned)>& task) {
    if (workers_.empty() || count <= 1) {
        for (int item = 0; item < count; ++item) task(item, 0);
        return;
    }
    std::uint32_t job;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job = ++job_;
        task_ = &task;
        count_ = count;
        error_ = nullptr;
        completed_.store(0);
        claim_.store(static_cast<std::uint64_t>(job) << 32);
    }
    wake_.notify_all();
    Work(job, count, &task, 0);
    const auto spinUntil = std::chrono::steady_clock::now() + kSpinTime;
    while (completed_.load() != count && std::chrono::steady_clock::now() < spinUntil) Relax();
    std::exception_ptr error;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this, count] { return completed_.load() == count; });
        error = error_;
        error_ = nullptr;
        task_ = nullptr;
    }
    if (error) std::rethrow_exception(error);
}

void ThreadPool::WorkerLoop(unsigned thread) {
    std::uint32_t seen = 0;
    for (;;) {
        const auto spinUntil = std::chrono::steady_clock::now() + kSpinTime;
        while (static_cast<std::uint32_t>(claim_.load() >> 32) == seen &&
               std::chrono::steady_clock::now() < spinUntil)
            Relax();
        std::uint32_t job;
        int count;
        const std::function<void(int, unsigned)>* task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this, seen] { return stopping_ || job_ != seen; });
            if (stopping_) return;
            job = seen = job_;
            count = count_;
            task = task_;
        }
        Work(job, count, task, thread);
    }
}

}  // namespace korvel
