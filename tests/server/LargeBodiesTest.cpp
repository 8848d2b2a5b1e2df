// Large compressed bodies: two requests for the same entry share one
// decompression and one body, kept for later requests while the budget has
// room; bodies stay within the budget, a request that would exceed it waits
// until a holder lets go, one larger than the whole budget is made alone, and
// every byte goes back when the last holder ends. The archives of a library
// share the store and its one budget.
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
    explicit Requested(const SiteBodies& bodies, uint32_t index) {
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
        archive_ = std::make_shared<const LoadedArchive>(Loaded(dir_ / "site.pel"));
    }

    size_t Cost(uint32_t index) const { return DecompressionCost(archive_->Entries[index]); }

    TempDir dir_;
    const std::vector<std::pair<std::string, std::string>> contents_ = {
        {"a.html", CompressibleText(600 * kKiB)},
        {"b.html", CompressibleText(500 * kKiB)},
        {"huge.html", CompressibleText(3000 * kKiB)},
    };
    std::shared_ptr<const LoadedArchive> archive_;
    LoaderPool pool_{2};
    PageCache noCache_{0};  // keeps nothing, so that only holders count
};

TEST_F(LargeBodiesTest, TwoRequestsForOneEntryShareOneDecompressionAndOneBody) {
    LargeBodies store(noCache_, pool_, 64 * 1024 * kKiB);
    const SiteBodies bodies(store, archive_, 0);
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
    EXPECT_EQ(store.Decompressions(), 1u);
}

TEST_F(LargeBodiesTest, RequestsBeyondTheBudgetWaitForRoomAndEveryByteComesBack) {
    // Room for either of a and b, not both; huge is larger than the whole budget.
    const size_t budget = std::max(Cost(0), Cost(1)) + std::min(Cost(0), Cost(1)) / 2;
    ASSERT_GT(Cost(2), budget);
    LargeBodies store(noCache_, pool_, budget);
    const SiteBodies bodies(store, archive_, 0);
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
    while (store.BytesInUse() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(store.BytesInUse(), 0u);
    EXPECT_EQ(store.Decompressions(), 3u);
}

// Stop answers every request still waiting for room, once: the event loop
// that asked is waiting for the answer to let its connection go.
TEST_F(LargeBodiesTest, StopAnswersTheRequestsWaitingForRoomOnce) {
    LargeBodies store(noCache_, pool_, Cost(0));
    const SiteBodies bodies(store, archive_, 0);
    Requested a(bodies, 0);
    ASSERT_TRUE(a.Arrives(10s));
    std::optional<SharedBody> held = a.Body();
    Requested b(bodies, 1), alsoB(bodies, 1);
    EXPECT_FALSE(b.Arrives(100ms));
    pool_.Stop();
    store.Stop();
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
    LargeBodies store(cache, pool_, std::max(Cost(0), Cost(1)));
    const SiteBodies bodies(store, archive_, 0);
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

// Two archives of a library, each with a large body, and room for one at a
// time: both requests are answered in turn, each with its own bytes, and the
// bytes in use never exceed the budget. A request still finishes when its
// archive's site ends meanwhile; a body kept for one archive is let go for
// another's request; what is kept of an archive goes with its site.
TEST_F(LargeBodiesTest, TheArchivesOfALibraryShareOneBudget) {
    const std::string otherText = CompressibleText(700 * kKiB);
    server_testing::ArchiveBuilder builder;
    builder.AddCompressed("big.html", otherText);
    builder.WriteTo(dir_ / "other.pel");
    auto other = std::make_shared<const LoadedArchive>(Loaded(dir_ / "other.pel"));
    const size_t budget = std::max(Cost(0), DecompressionCost(other->Entries[0]));
    LargeBodies store(noCache_, pool_, budget);
    std::atomic<bool> done{false};
    size_t peak = 0;
    std::thread watch([&] {
        while (!done) {
            peak = std::max(peak, store.BytesInUse());
            std::this_thread::sleep_for(50us);
        }
    });
    const SiteBodies first(store, archive_, 1);
    auto second = std::make_unique<SiteBodies>(store, std::move(other), 2);
    {
        Requested a(first, 0), b(*second, 0);
        ASSERT_TRUE(a.Arrives(10s));
        std::optional<SharedBody> held = a.Body();
        EXPECT_FALSE(b.Arrives(300ms)) << "made beyond the budget";
        second.reset();  // its archive dropped from the library
        EXPECT_EQ(TextOf(*held), contents_[0].second);
        held.reset();
        ASSERT_TRUE(b.Arrives(10s));
        EXPECT_EQ(TextOf(*b.Body()), otherText);
        EXPECT_EQ(b.Deliveries(), 1);
    }
    {
        Requested a(first, 0);
        ASSERT_TRUE(a.Arrives(10s));
        EXPECT_TRUE(a.Body());
    }
    // a is kept for no reader now; the archive loaded again takes its room.
    auto third = std::make_unique<SiteBodies>(
        store, std::make_shared<const LoadedArchive>(Loaded(dir_ / "other.pel")), 3);
    {
        Requested b(*third, 0);
        ASSERT_TRUE(b.Arrives(10s)) << "waiting for a body kept for another archive";
        EXPECT_EQ(TextOf(*b.Body()), otherText);
    }
    third.reset();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (store.BytesInUse() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    done = true;
    watch.join();
    EXPECT_EQ(store.BytesInUse(), 0u) << "a body of an archive no longer served is kept";
    EXPECT_LE(peak, budget);
    EXPECT_EQ(store.Decompressions(), 4u);
}

}  // namespace
