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
#include <string_view>
#include <unordered_map>
#include <vector>

#include "WebServer/BodyKey.h"

// A body as shared between the cache and the connections sending it: never
// changed once made, freed when the last holder lets go.
struct SharedBody {
    std::shared_ptr<const char[]> Bytes;
    size_t Size = 0;
};

// A body holding a copy of `bytes`.
SharedBody SharedBodyOf(std::string_view bytes);

class PageCache {
  public:
    explicit PageCache(size_t limitBytes) : limit_(limitBytes) {}

    // The body kept under `key`, if held.
    std::optional<SharedBody> Find(BodyKey key);

    // Holds `body` under `key`, evicting the least recently used bodies
    // until the total stays within the limit. A body over a quarter of the
    // limit is not held, so that one large file cannot empty the cache.
    void Add(BodyKey key, const SharedBody& body);

    // Takes out the least recently used bodies whose key `mayTake` accepts
    // until they come to `bytes` or more (or none is left), and returns them,
    // so that the caller lets go of them outside the cache's lock.
    std::vector<SharedBody> TakeOldest(const std::function<bool(BodyKey)>& mayTake, size_t bytes);

    // Forgets every body (a new archive was loaded).
    void Clear();

    // Bytes of all bodies held.
    size_t Bytes();

  private:
    using Order = std::list<std::pair<BodyKey, SharedBody>>;  // most recent first

    const size_t limit_;
    std::mutex lock_;
    Order order_;
    std::unordered_map<BodyKey, Order::iterator> byEntry_;
    size_t bytes_ = 0;
};

// One archive's part of a cache: the archives of a library share one cache,
// and so one limit, each entry's key carrying its archive's number.
class SiteCache {
  public:
    // The whole of `cache`, for the one archive a server serves.
    // NOLINTNEXTLINE(google-explicit-constructor)
    SiteCache(PageCache& cache) : cache_(&cache) {}
    SiteCache(PageCache& cache, uint32_t archive) : cache_(&cache), archive_(archive) {}

    // Its archive's number in the cache's keys.
    uint32_t Archive() const { return archive_; }
    std::optional<SharedBody> Find(uint32_t entry) const { return cache_->Find(Key(entry)); }
    void Add(uint32_t entry, const SharedBody& body) const { cache_->Add(Key(entry), body); }
    // Another form of the same bodies (form 1: a compressed coding's), kept
    // apart under the same limit; form 0 is this part itself.
    SiteCache Form(uint32_t form) const { return {*cache_, archive_ | (form << kFormShift)}; }
    // Forgets every body of every archive: memory is wanted.
    void Clear() const { cache_->Clear(); }

  private:
    BodyKey Key(uint32_t entry) const { return BodyKeyOf(archive_, entry); }
    // Archive numbers count the archives a server loads, far below this bit.
    static constexpr uint32_t kFormShift = 31;

    PageCache* cache_;
    uint32_t archive_ = 0;
};

// Memory the server's cache of bodies may hold: the pages of a typical site
// (text, style sheets, images) many times over, and a quarter of the budget
// for large bodies, which bodies it keeps are also counted in.
inline constexpr size_t kPageCacheBytes = size_t{64} * 1024 * 1024;
