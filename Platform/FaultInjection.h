// Faults the tests can switch on: in the file layer, to prove that a full
// disk or a failing file never costs data, and in starting a worker thread.
// All off unless a test arms them, and only in builds with tests
// (PELORINE_FAULT_INJECTION): a shipped program has no faults to arm and pays
// nothing for the checks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

#ifdef PELORINE_FAULT_INJECTION

class FaultInjection {
  public:
    // Every later create fails as if access were denied.
    static void SetFailCreate(bool fail) { failCreate_.store(fail); }
    // Only `bytes` more bytes can be written in all; after that writes fail
    // with "no space left". A negative value lifts the limit.
    static void SetWriteBudget(int64_t bytes) { writeBudget_.store(bytes); }
    // Each read call delivers at most `bytes` (0 lifts the limit); reads after
    // `reads` such calls deliver nothing, as if the file had shrunk.
    static void SetReadLimit(size_t bytes, int64_t reads) {
        readChunk_.store(bytes);
        readsLeft_.store(reads);
    }
    // A read that asks for exactly `requested` bytes delivers at most
    // `delivered`, as if the file of that size had shrunk after its size was
    // taken; unlike SetReadLimit it hits the same file whatever the order of
    // reads on several threads. A `requested` of 0 lifts it.
    static void SetShortRead(size_t requested, size_t delivered) {
        shortReadDelivered_.store(delivered);
        shortReadRequested_.store(requested);
    }
    // Every later start of a compile or server thread fails, as when the
    // system has no threads left to give.
    static void SetFailThreadStart(bool fail) { failThreadStart_.store(fail); }
    static void Reset() {
        SetFailCreate(false);
        SetFailThreadStart(false);
        SetWriteBudget(-1);
        SetReadLimit(0, -1);
        SetShortRead(0, 0);
    }

    static bool FailCreate() { return failCreate_.load(std::memory_order_relaxed); }
    static bool FailThreadStart() { return failThreadStart_.load(std::memory_order_relaxed); }

    static size_t LimitWrite(size_t wanted) {
        int64_t budget = writeBudget_.load(std::memory_order_relaxed);
        if (budget < 0) return wanted;
        size_t allowed =
            wanted < static_cast<uint64_t>(budget) ? wanted : static_cast<size_t>(budget);
        writeBudget_.fetch_sub(static_cast<int64_t>(allowed));
        return allowed;
    }

    // The whole of one read call: see SetShortRead.
    static size_t LimitReadCall(size_t requested) {
        size_t shortened = shortReadRequested_.load(std::memory_order_acquire);
        if (shortened == 0 || requested != shortened) return requested;
        size_t delivered = shortReadDelivered_.load(std::memory_order_relaxed);
        return delivered < requested ? delivered : requested;
    }

    static size_t LimitRead(size_t wanted) {
        size_t chunk = readChunk_.load(std::memory_order_relaxed);
        if (chunk == 0) return wanted;
        if (readsLeft_.fetch_sub(1) <= 0) return 0;
        return wanted < chunk ? wanted : chunk;
    }

  private:
    static inline std::atomic<bool> failCreate_{false};
    static inline std::atomic<bool> failThreadStart_{false};
    static inline std::atomic<int64_t> writeBudget_{-1};
    static inline std::atomic<size_t> readChunk_{0};
    static inline std::atomic<int64_t> readsLeft_{-1};
    static inline std::atomic<size_t> shortReadRequested_{0};
    static inline std::atomic<size_t> shortReadDelivered_{0};
};

#else

class FaultInjection {
  public:
    static constexpr bool FailCreate() { return false; }
    static constexpr bool FailThreadStart() { return false; }
    static constexpr size_t LimitWrite(size_t wanted) { return wanted; }
    static constexpr size_t LimitReadCall(size_t requested) { return requested; }
    static constexpr size_t LimitRead(size_t wanted) { return wanted; }
};

#endif

}  // namespace platform
