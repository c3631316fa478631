#pragma once
// A small pool of worker threads for splitting one curve evaluation over its
// points. The calling thread takes part; work items are claimed one by one from a
// shared counter tagged with the job's number, so a job ends when its items are
// done, not when every worker has woken up: a worker that the system schedules late
// costs nothing but its share. The pool computes nothing itself: results must not
// depend on which thread runs an item.

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
    void WorkerLoop(unsigned thread);
    // Claims and runs items of job `job` until none is left.
    void Work(std::uint32_t job, int count, const std::function<void(int, unsigned)>* task,
              unsigned thread);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::atomic<std::uint64_t> claim_{0};  // job number << 32 | next item
    std::atomic<int> completed_{0};
    std::uint32_t job_ = 0;
    int count_ = 0;
    const std::function<void(int, unsigned)>* task_ = nullptr;
    std::exception_ptr error_;
    bool stopping_ = false;
};

}  // namespace korvel
