// The budget for large bodies alone: what it charges, who waits and who is
// next, whichever archive asks, without threads.
#include <gtest/gtest.h>

#include <vector>

#include "WebServer/BodyBudget.h"

namespace {

TEST(BodyBudget, ChargesInTheOrderAskedAndSaysHowMuchRoomTheFirstWaiterNeeds) {
    enum Op { Admit, Release, Forget };
    // Entry 1 of two archives, and others of either.
    constexpr BodyKey a1 = BodyKeyOf(1, 1), b1 = BodyKeyOf(2, 1), b3 = BodyKeyOf(2, 3),
                      a4 = BodyKeyOf(1, 4), a5 = BodyKeyOf(1, 5), b6 = BodyKeyOf(2, 6),
                      a7 = BodyKeyOf(1, 7), b8 = BodyKeyOf(2, 8);
    struct Step {
        Op op;
        BodyKey key;                // Admit
        size_t bytes;               // Admit: the cost; Release: what comes back
        bool admitted;              // Admit
        std::vector<BodyKey> next;  // Release, Forget: the bodies that may start, or waited
        size_t inUse;
        size_t roomNeeded;
        bool mayKeep;  // a body whose stream is already given back
    };
    const Step steps[] = {
        {Admit, a1, 60, true, {}, 60, 0, true},
        {Admit, b1, 30, true, {}, 90, 0, true},
        {Admit, b3, 50, false, {}, 90, 40, false},
        // Fits, but waits behind the first waiter, of another archive.
        {Admit, a4, 5, false, {}, 90, 40, false},
        {Release, 0, 30, false, {}, 60, 10, false},
        {Release, 0, 60, false, {b3, a4}, 55, 0, true},
        // Larger than the whole limit: made alone, once everything is back.
        {Admit, a5, 250, false, {}, 55, 55, false},
        {Release, 0, 55, false, {a5}, 250, 0, false},
        {Release, 0, 250, false, {}, 0, 0, true},
        {Admit, b6, 100, true, {}, 100, 0, true},
        {Admit, a7, 1, false, {}, 100, 1, false},
        {Admit, b8, 1, false, {}, 100, 1, false},
        {Forget, 0, 0, false, {a7, b8}, 100, 0, true},
        {Release, 0, 100, false, {}, 0, 0, true},
    };
    BodyBudget budget(100);
    int number = 0;
    for (const Step& step : steps) {
        ++number;
        switch (step.op) {
            case Admit:
                EXPECT_EQ(budget.Admit(step.key, step.bytes), step.admitted) << number;
                break;
            case Release:
                EXPECT_EQ(budget.Release(step.bytes), step.next) << number;
                break;
            case Forget:
                EXPECT_EQ(budget.ForgetWaits(), step.next) << number;
                break;
        }
        EXPECT_EQ(budget.InUse(), step.inUse) << number;
        EXPECT_EQ(budget.RoomNeeded(), step.roomNeeded) << number;
        EXPECT_EQ(budget.MayKeep(0), step.mayKeep) << number;
    }
    // A body just made is kept only once its stream's bytes would bring the
    // budget back within its limit.
    BodyBudget tight(100);
    ASSERT_TRUE(tight.Admit(1, 130));
    EXPECT_FALSE(tight.MayKeep(20));
    EXPECT_TRUE(tight.MayKeep(30));
}

}  // namespace
