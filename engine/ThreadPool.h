#pragma once
// A small pool of worker threads for splitting one curve evaluation over its
// points. The calling thread takes part; work items are claimed one by one from a
// shared counter tagged with the job's number, so a job ends when its items are
// done, not when every worker has woken up: a worker that the system schedules late
// costs nothing but its share. The pool computes nothing itself: results must not
// depend on which thread runs an item.
//
// Jobs are handed out without a lock: the claim counter carries the job's number and
// item count, so a worker that polls it sees a whole job at once. Idle workers poll
// for a short, bounded time after each job (a fit's evaluations follow each other
// within microseconds) and then sleep on a condition variable.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace korvel {

class ThreadPool {
  public:
    // `threads` counts the caller: a pool of 1 starts no thread.
    explicit ThreadPool(unsigned threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    unsigned Size() const { return static_cast<unsigned>(workers_.size()) + 1; }

    // Calls task(item, thread) for every item in [0, count), thread in [0, Size()),
    // and returns when all have returned. An exception thrown by a task is rethrown
    // here (the first one; the remaining items still run).
    void Run(int count, const std::function<void(int, unsigned)>& task);

  private:
    using Task = std::function<void(int, unsigned)>;

    // One job of at most kMostItems items, numbered from `first`.
    void RunJob(int first, int count, const Task& task);
    void WorkerLoop(unsigned thread);
    // Claims and runs items of the job tagged `job` until none is left.
    void Work(std::uint64_t job, unsigned thread);
    void Finish(int count);

    std::vector<std::thread> workers_;

    // Job number (16 bits) | item count (24 bits) | next item (24 bits).
    alignas(64) std::atomic<std::uint64_t> claim_{0};
    // Items of the current job that have returned.
    alignas(64) std::atomic<int> completed_{0};
    // The current job's task and first item; read only by a thread that holds a
    // claimed item of the job, so they cannot change under it.
    std::atomic<const Task*> task_{nullptr};
    std::atomic<int> first_{0};

    // The sleeping side: workers with no job, the caller waiting for a late item.
    alignas(64) std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::atomic<int> sleepers_{0};
    std::atomic<bool> callerWaiting_{false};
    std::atomic<bool> stopping_{false};
    std::exception_ptr error_;  // guarded by mutex_
    std::uint64_t job_ = 0;     // the caller's own count of jobs
};

}  // namespace korvel
