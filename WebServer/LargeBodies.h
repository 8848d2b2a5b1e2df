// Bodies of compressed entries too large to decompress on an event loop: the
// server's one store of them, for every archive it serves. Each is
// decompressed once, on the loader pool, for every request that asks for it
// meanwhile, and shared with every later request for as long as any
// connection (or the cache) still holds it, or while the budget has room to
// keep it after its last reader. All such bodies, of every archive, with the
// streams being decompressed into them, stay within one memory budget
// (BodyBudget): a request that would exceed it waits for room, first in,
// first served, and the bodies kept for no reader (the least recently asked
// for first), then those the page cache keeps, whichever archive they are
// of, are let go until they free the room it needs; a single entry larger
// than the whole budget is decompressed alone.
//
// Thread safety: every call may come from any thread. Deliveries are made on
// a loader thread, or on the asking thread when the body is held already.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "Shared/LoadedArchive.h"
#include "WebServer/BodyKey.h"
#include "WebServer/LoaderPool.h"
#include "WebServer/PageCache.h"

class LargeBodies {
  public:
    // The body, or none when it could not be made (memory ran out, or the
    // server is stopping).
    using Delivery = std::function<void(std::optional<SharedBody>)>;

    // `cache` is the server's cache of bodies, whose keys are the store's.
    LargeBodies(PageCache& cache, LoaderPool& pool, size_t budgetBytes);
    ~LargeBodies();
    LargeBodies(const LargeBodies&) = delete;
    LargeBodies& operator=(const LargeBodies&) = delete;

    // No decompression starts from now on, everybody still waiting is
    // answered with none, and the kept bodies are let go: the loops that asked
    // are ending. For the server's stop, once the loader pool has ended.
    void Stop();

    // Bytes of bodies and streams counted against the budget now.
    size_t BytesInUse() const;

    // Decompressions started so far.
    unsigned Decompressions() const { return decompressions_.load(); }

    // The budget and the waits, shared with the bodies made (see .cpp).
    struct State;

  private:
    friend class SiteBodies;

    std::optional<SharedBody> Held(BodyKey key);
    // The decompression holds `archive` until it ends, so that a request
    // still finishes when the archive's site has gone meanwhile.
    void Request(const std::shared_ptr<const LoadedArchive>& archive, BodyKey key,
                 Delivery deliver);
    // Bodies of archive `archive` are kept from Open until Close, which lets
    // go of them.
    void Open(uint32_t archive);
    void Close(uint32_t archive);

    void Start(BodyKey key, const std::shared_ptr<const LoadedArchive>& archive);
    void Decompress(BodyKey key, const LoadedArchive& archive);

    PageCache& cache_;
    LoaderPool& pool_;
    // Shared with the bodies made, which give their bytes back to the budget
    // when the last holder lets go, whenever that is.
    std::shared_ptr<State> state_;
    std::atomic<unsigned> decompressions_{0};
};

// One archive's part of the store, for its site: its bodies under its number
// in the server's cache (SiteCache::Archive). When the site ends, the bodies
// of the archive kept for later requests are let go.
class SiteBodies {
  public:
    SiteBodies(LargeBodies& store, std::shared_ptr<const LoadedArchive> archive, uint32_t number);
    ~SiteBodies();
    SiteBodies(const SiteBodies&) = delete;
    SiteBodies& operator=(const SiteBodies&) = delete;

    // The body of entry `index` when a connection or the cache holds it now,
    // or it is kept.
    std::optional<SharedBody> Held(uint32_t index) const;

    // Has entry `index` (compressed, backed by the file) decompressed, or
    // joins the decompression under way; `deliver` is called exactly once.
    void Request(uint32_t index, LargeBodies::Delivery deliver) const;

  private:
    LargeBodies& store_;
    const std::shared_ptr<const LoadedArchive> archive_;
    const uint32_t number_;
};

// What the budget charges for entry `entry`'s decompression: its body and its
// stream, which is held only while the body is made.
size_t DecompressionCost(const EntryView& entry);
