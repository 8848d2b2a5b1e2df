// Decompressed bodies of pages asked for before, so that a page asked for
// again is not read and decompressed again.
//
// Thread safety: every call may come from any thread; one lock guards the
// cache, held only to look up, insert or evict, never while reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

// A body as shared between the cache and the connections sending it: never
// changed once made, freed when the last holder lets go.
struct SharedBody {
    std::shared_ptr<const char[]> Bytes;
    size_t Size = 0;
};

class PageCache {
  public:
    explicit PageCache(size_t limitBytes) : limit_(limitBytes) {}

    // The body of entry `entry`, if held.
    std::optional<SharedBody> Find(uint32_t entry);

    // Holds `body` as entry `entry`'s, evicting the least recently used bodies
    // until the total stays within the limit. A body over a quarter of the
    // limit is not held, so that one large file cannot empty the cache.
    void Add(uint32_t entry, const SharedBody& body);

    // Takes out the least recently used bodies whose entry `mayTake` accepts
    // until they come to `bytes` or more (or none is left), and returns them,
    // so that the caller lets go of them outside the cache's lock.
    std::vector<SharedBody> TakeOldest(const std::function<bool(uint32_t)>& mayTake, size_t bytes);

    // Forgets every body (a new archive was loaded).
    void Clear();

    // Bytes of all bodies held.
    size_t Bytes();

  private:
    using Order = std::list<std::pair<uint32_t, SharedBody>>;  // most recent first

    const size_t limit_;
    std::mutex lock_;
    Order order_;
    std::unordered_map<uint32_t, Order::iterator> byEntry_;
    size_t bytes_ = 0;
};

// Memory the server's cache of bodies may hold: the pages of a typical site
// (text, style sheets, images) many times over, and a quarter of the budget
// for large bodies, which bodies it keeps are also counted in.
inline constexpr size_t kPageCacheBytes = size_t{64} * 1024 * 1024;
