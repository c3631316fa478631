#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/ThreadPool.h"

using namespace korvel;

TEST(BatchThreadPool, RunsEveryItemExactlyOnceOnValidThreads) {
    ThreadPool pool(3);
    EXPECT_EQ(pool.Size(), 3u);
    for (int round = 0; round < 300; ++round) {
        const int count = 1 + round % 37;
        std::vector<std::atomic<int>> runs(count);
        std::atomic<bool> badThread{false};
        pool.Run(count, [&](int item, unsigned thread) {
            runs[item].fetch_add(1);
            if (thread >= pool.Size()) badThread = true;
        });
        for (int i = 0; i < count; ++i) ASSERT_EQ(runs[i].load(), 1) << round << " " << i;
        EXPECT_FALSE(badThread.load());
    }
}

TEST(BatchThreadPool, RethrowsATaskExceptionAfterTheOtherItemsRan) {
    ThreadPool pool(2);
    std::atomic<int> ran{0};
    EXPECT_THROW(pool.Run(20,
                          [&](int item, unsigned) {
                              ran.fetch_add(1);
                              if (item == 7) throw std::runtime_error("item 7");
                          }),
                 std::runtime_error);
    EXPECT_EQ(ran.load(), 20);
    // The pool stays usable.
    std::atomic<int> again{0};
    pool.Run(5, [&](int, unsigned) { again.fetch_add(1); });
    EXPECT_EQ(again.load(), 5);
}

TEST(BatchThreadPool, APoolOfOneRunsOnTheCallingThread) {
    ThreadPool pool(1);
    std::vector<int> order;
    pool.Run(4, [&](int item, unsigned thread) {
        EXPECT_EQ(thread, 0u);
        order.push_back(item);
    });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

// Each job's first item waits for a second thread to take another item, so every job
// needs a worker to wake: after a pause long enough for the workers to fall asleep,
// and straight after the previous job while they are still polling.
TEST(BatchThreadPool, WakesItsWorkersForEveryJobWhetherAsleepOrPolling) {
    ThreadPool pool(2);
    for (int round = 0; round < 40; ++round) {
        if (round % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
        std::atomic<bool> helped{false};
        std::atomic<bool> gaveUp{false};
        pool.Run(2, [&](int item, unsigned) {
            if (item == 1) {
                helped = true;
                return;
            }
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!helped.load() && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
            if (!helped.load()) gaveUp = true;
        });
        ASSERT_FALSE(gaveUp.load()) << "round " << round;
    }
}
