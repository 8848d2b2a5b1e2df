// Large compressed bodies: two requests for the same entry share one
// decompression and one body, kept for later requests while the budget has
// room; bodies stay within the budget, a request that would exceed it waits
// until a holder lets go, one larger than the whole budget is made alone, and
// every byte goes back when the last holder ends.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "Shared/LoadedArchive.h"
#include "WebServer/LargeBodies.h"
#include "WebServer/LoaderPool.h"
#include "WebServer/PageCache.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/Loaded.h"
#include "tests/support/TestFiles.h"

using namespace std::chrono_literals;
using testing_support::CompressibleText;
using testing_support::TempDir;

namespace {

constexpr size_t kKiB = 1024;

class Requested {
  public:
    explicit Requested(LargeBodies& bodies, uint32_t index) {
        bodies.Request(index, [this](std::optional<SharedBody> body) {
            if (++deliveries_ == 1) given_.set_value(body);
        });
    }

    // How often it was answered: once at most, ever.
    int Deliveries() const { return deliveries_; }

    bool Arrives(std::chrono::milliseconds within) {
        return future_.wait_for(within) == std::future_status::ready;
    }

    std::optional<SharedBody> Body() { return future_.get(); }

  private:
    std::atomic<int> deliveries_{0};
    std::promise<std::optional<SharedBody>> given_;
    std::future<std::optional<SharedBody>> future_ = given_.get_future();
};

std::string TextOf(const SharedBody& body) {
    return std::string(body.Bytes.get(), body.Size);
}

class LargeBodiesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server_testing::ArchiveBuilder builder;
        for (const auto& [name, content] : contents_) builder.AddCompressed(name, content);
        builder.WriteTo(dir_ / "site.pel");
        archive_ = Loaded(dir_ / "site.pel");
    }

    size_t Cost(uint32_t index) const { return DecompressionCost(archive_.Entries[index]); }

    TempDir dir_;
    const std::vector<std::pair<std::string, std::string>> contents_ = {
        {"a.html", CompressibleText(600 * kKiB)},
        {"b.html", CompressibleText(500 * kKiB)},
        {"huge.html", CompressibleText(3000 * kKiB)},
    };
    LoadedArchive archive_;
    LoaderPool pool_{2};
    PageCache noCache_{0};  // keeps nothing, so that only holders count
};

TEST_F(LargeBodiesTest, TwoRequestsForOneEntryShareOneDecompressionAndOneBody) {
    LargeBodies bodies(archive_, noCache_, pool_, 64 * 1024 * kKiB);
    Requested first(bodies, 0), second(bodies, 0);
    ASSERT_TRUE(first.Arrives(10s));
    ASSERT_TRUE(second.Arrives(10s));
    std::optional<SharedBody> one = first.Body(), two = second.Body();
    ASSERT_TRUE(one && two);
    EXPECT_EQ(one->Bytes.get(), two->Bytes.get());
    EXPECT_EQ(TextOf(*one), contents_[0].second);
    // Asked again while held: the same body, no new decompression.
    Requested later(bodies, 0);
    ASSERT_TRUE(later.Arrives(10s));
    EXPECT_EQ(later.Body()->Bytes.get(), one->Bytes.get());
    // Asked again after every reader let go: kept while the budget has room.
    const std::string text = TextOf(*one);
    one.reset();
    two.reset();
    Requested again(bodies, 0);
    ASSERT_TRUE(again.Arrives(10s));
    EXPECT_EQ(TextOf(*again.Body()), text);
    EXPECT_EQ(bodies.Decompressions(), 1u);
}

TEST_F(LargeBodiesTest, RequestsBeyondTheBudgetWaitForRoomAndEveryByteComesBack) {
    // Room for either of a and b, not both; huge is larger than the whole budget.
    const size_t budget = std::max(Cost(0), Cost(1)) + std::min(Cost(0), Cost(1)) / 2;
    ASSERT_GT(Cost(2), budget);
    LargeBodies bodies(archive_, noCache_, pool_, budget);
    {
        Requested a(bodies, 0);
        ASSERT_TRUE(a.Arrives(10s));
        std::optional<SharedBody> held = a.Body();
        Requested b(bodies, 1);
        EXPECT_FALSE(b.Arrives(300ms)) << "made beyond the budget";
        held.reset();
        ASSERT_TRUE(b.Arrives(10s)) << "still waiting once a was let go";
        EXPECT_EQ(TextOf(*b.Body()), contents_[1].second);
    }
    {
        Requested huge(bodies, 2);
        ASSERT_TRUE(huge.Arrives(10s));
        EXPECT_EQ(TextOf(*huge.Body()), contents_[2].second);
    }
    // The loader drops its own hold just after the delivery.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (bodies.BytesInUse() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(bodies.BytesInUse(), 0u);
    EXPECT_EQ(bodies.Decompressions(), 3u);
}

// Stop answers every request still waiting for room, once: the event loop
// that asked is waiting for the answer to let its connection go.
TEST_F(LargeBodiesTest, StopAnswersTheRequestsWaitingForRoomOnce) {
    LargeBodies bodies(archive_, noCache_, pool_, Cost(0));
    Requested a(bodies, 0);
    ASSERT_TRUE(a.Arrives(10s));
    std::optional<SharedBody> held = a.Body();
    Requested b(bodies, 1), alsoB(bodies, 1);
    EXPECT_FALSE(b.Arrives(100ms));
    pool_.Stop();
    bodies.Stop();
    ASSERT_TRUE(b.Arrives(1s));
    ASSERT_TRUE(alsoB.Arrives(1s));
    EXPECT_FALSE(b.Body());
    EXPECT_FALSE(alsoB.Body());
    held.reset();
    Requested afterStop(bodies, 1);
    ASSERT_TRUE(afterStop.Arrives(1s));
    EXPECT_FALSE(afterStop.Body());
    EXPECT_EQ(b.Deliveries(), 1);
    EXPECT_EQ(alsoB.Deliveries(), 1);
    EXPECT_EQ(afterStop.Deliveries(), 1);
}

// A request that waits for room takes from the page cache only the large
// bodies that free it: the small pages stay.
TEST_F(LargeBodiesTest, WaitingForRoomLetsGoOnlyOfTheBodiesThatFreeIt) {
    PageCache cache(64 * 1024 * kKiB);
    LargeBodies bodies(archive_, cache, pool_, std::max(Cost(0), Cost(1)));
    const SharedBody small{std::shared_ptr<const char[]>(new char[10]()), 10};
    cache.Add(99, small);
    {
        Requested a(bodies, 0);
        ASSERT_TRUE(a.Arrives(10s));
    }
    // a is kept, and the cache holds it too; b needs its room.
    Requested b(bodies, 1);
    ASSERT_TRUE(b.Arrives(10s)) << "still waiting for the cache's hold on a";
    EXPECT_EQ(TextOf(*b.Body()), contents_[1].second);
    ASSERT_TRUE(cache.Find(99)) << "a small page let go for the room of a large one";
    EXPECT_EQ(cache.Find(99)->Bytes.get(), small.Bytes.get());
    EXPECT_FALSE(cache.Find(0)) << "a is still cached";
}

}  // namespace
