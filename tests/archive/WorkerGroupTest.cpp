// The one way a pool owns its threads: every job run on a worker that
// started, a failed start leaving a smaller group, a stop that drops what
// waits and frees whoever waits for room.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <stdexcept>
#include <thread>

#include "Shared/WorkerGroup.h"

namespace {

TEST(WorkerGroup, RunsEveryJobOnAWorkerThatStarted) {
    struct Case {
        const char* what;
        unsigned threads;
        WorkerGroup::StartFault fault;
        unsigned workers;
    };
    const Case cases[] = {
        {"every start succeeds", 3, {}, 3},
        {"the third start fails", 3, [](unsigned worker) { return worker == 2; }, 2},
        {"only the first starts", 4, [](unsigned worker) { return worker >= 1; }, 1},
        {"no start succeeds", 2, [](unsigned) { return true; }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkerGroup group(c.threads, 2, c.fault);
        ASSERT_EQ(group.Workers(), c.workers);
        constexpr int kJobs = 200;
        std::latch done(c.workers == 0 ? 0 : kJobs);
        std::atomic<int> outside{0};
        for (int i = 0; i < kJobs; ++i) {
            const bool queued = group.Submit([&, i](unsigned worker) {
                if (worker >= c.workers) outside++;
                // A job that throws ends alone; the worker goes on.
                if (worker % 2 == 0 && i % 7 == 0) {
                    done.count_down();
                    throw std::runtime_error("job failed");
                }
                done.count_down();
            });
            EXPECT_EQ(queued, c.workers != 0);
        }
        done.wait();
        group.Stop();
        EXPECT_EQ(outside.load(), 0);
        EXPECT_FALSE(group.Submit([](unsigned) {}));
    }
}

TEST(WorkerGroup, StopDropsQueuedJobsAndFreesASubmitWaitingForRoom) {
    WorkerGroup group(1, 1);
    std::latch running(1);
    std::latch release(1);
    std::atomic<int> ran{0};
    ASSERT_TRUE(group.Submit([&](unsigned) {
        running.count_down();
        release.wait();
        ran++;
    }));
    running.wait();
    ASSERT_TRUE(group.Submit([&](unsigned) { ran += 10; }));  // fills the queue
    bool queuedLate = true;
    std::thread waiting([&] {
        // Waits for room until the stop, which drops it.
        queuedLate = group.Submit([&](unsigned) { ran += 100; });
        release.count_down();
    });
    group.Stop();
    waiting.join();
    EXPECT_FALSE(queuedLate);
    EXPECT_EQ(ran.load(), 1);
}

}  // namespace
