// Bodies of compressed entries too large to decompress on an event loop: the
// one store of them. Each is decompressed once, on the loader pool, for every
// request that asks for it meanwhile, and shared with every later request for
// as long as any connection (or the cache) still holds it, or while the budget
// has room to keep it after its last reader. All such bodies, with the streams
// being decompressed into them, stay within a memory budget (BodyBudget): a
// request that would exceed it waits for room, first in, first served, and
// the bodies kept for no reader (the least recently asked for first), then
// those the page cache keeps, are let go until they free the room it needs; a
// single entry larger than the whole budget is decompressed alone.
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
#include "WebServer/LoaderPool.h"
#include "WebServer/PageCache.h"

class LargeBodies {
  public:
    // The body, or none when it could not be made (memory ran out, or the
    // server is stopping).
    using Delivery = std::function<void(std::optional<SharedBody>)>;

    LargeBodies(const LoadedArchive& archive, SiteCache cache, LoaderPool& pool,
                size_t budgetBytes);
    ~LargeBodies();
    LargeBodies(const LargeBodies&) = delete;
    LargeBodies& operator=(const LargeBodies&) = delete;

    // The body of entry `index` when a connection or the cache holds it now,
    // or it is kept.
    std::optional<SharedBody> Held(uint32_t index);

    // Has entry `index` (compressed, backed by the file) decompressed, or
    // joins the decompression under way; `deliver` is called exactly once.
    void Request(uint32_t index, Delivery deliver);

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
    void Decompress(uint32_t index);
    void Start(uint32_t index);

    const LoadedArchive& archive_;
    const SiteCache cache_;
    LoaderPool& pool_;
    // Shared with the bodies made, which give their bytes back to the budget
    // when the last holder lets go, whenever that is.
    std::shared_ptr<State> state_;
    std::atomic<unsigned> decompressions_{0};
};

// What the budget charges for entry `entry`'s decompression: its body and its
// stream, which is held only while the body is made.
size_t DecompressionCost(const EntryView& entry);
