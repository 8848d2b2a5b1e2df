// An event loop's wait: work whose wake-up the wait's first look took (a body
// delivered between the loop's turn and its wait) ends the wait at once.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "Platform/Poller.h"
#include "WebServer/LoopWait.h"

using namespace std::chrono_literals;

TEST(LoopWait, WorkAnnouncedBeforeTheWaitEndsIt) {
    platform::Poller poller;
    ASSERT_TRUE(poller.Valid());
    poller.Wake();
    void* ready[4];
    // Bounded, so that the test ends either way; a wait that sleeps through
    // the work runs its whole bound.
    auto waited = std::async(std::launch::async, [&] {
        return WaitForReady(poller, ready, 4, 20000, [] { return true; });
    });
    ASSERT_EQ(waited.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waited.get(), 0);
}
