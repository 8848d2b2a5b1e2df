// The cache of page bodies: each entry gets back its own body, the total never
// exceeds the limit, and the least recently used bodies leave first.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "WebServer/PageCache.h"

namespace {

SharedBody BodyOf(const std::string& text) {
    auto bytes = std::make_shared_for_overwrite<char[]>(text.size());
    std::memcpy(bytes.get(), text.data(), text.size());
    return {std::move(bytes), text.size()};
}

std::string TextOf(const SharedBody& body) {
    return std::string(body.Bytes.get(), body.Size);
}

TEST(PageCache, KeepsEachEntrysOwnBodyWithinItsLimitLeastRecentlyUsedOut) {
    constexpr size_t kLimit = 100;
    PageCache cache(kLimit);
    struct Step {
        char action;  // 'a': add, 'f': find
        uint32_t entry;
        std::string body;  // added; or expected from a find ("-" for none)
        size_t bytesAfter;
    };
    const std::string a(20, 'a'), b(25, 'b'), c(25, 'c'), d(25, 'd'), e(20, 'e');
    const Step steps[] = {
        {'a', 1, a, 20},
        {'a', 2, b, 45},
        {'f', 1, a, 45},    // 1 is now used more recently than 2
        {'f', 3, "-", 45},  // never added
        {'a', 3, c, 70},
        {'a', 4, d, 95},
        {'a', 5, e, 90},  // over the limit: 2, the least recently used, leaves
        {'f', 2, "-", 90},
        {'f', 1, a, 90},
        {'a', 7, std::string(26, 'w'), 90},  // over a quarter of the limit: not held
        {'f', 7, "-", 90},
        {'a', 1, d, 90},  // already held: the first body stays
        {'f', 1, a, 90},
        {'a', 6, "", 90},  // an empty body is held, and found as empty
        {'f', 6, "", 90},
    };
    for (const Step& step : steps) {
        const std::string what = std::string(1, step.action) + std::to_string(step.entry);
        if (step.action == 'a') {
            cache.Add(step.entry, BodyOf(step.body));
        } else {
            const auto found = cache.Find(step.entry);
            if (step.body == "-") {
                EXPECT_FALSE(found) << what;
            } else {
                ASSERT_TRUE(found) << what;
                EXPECT_EQ(TextOf(*found), step.body) << what;
            }
        }
        EXPECT_EQ(cache.Bytes(), step.bytesAfter) << what;
        EXPECT_LE(cache.Bytes(), kLimit) << what;
    }
}

// A body handed out stays whole after the cache lets go of it.
TEST(PageCache, ABodyInUseOutlivesItsEviction) {
    PageCache cache(100);
    cache.Add(1, BodyOf(std::string(25, 'a')));
    const SharedBody inUse = *cache.Find(1);
    for (uint32_t entry = 2; entry < 10; ++entry) cache.Add(entry, BodyOf(std::string(25, 'b')));
    EXPECT_FALSE(cache.Find(1));
    EXPECT_EQ(TextOf(inUse), std::string(25, 'a'));
    cache.Clear();
    EXPECT_EQ(cache.Bytes(), 0u);
}

}  // namespace
