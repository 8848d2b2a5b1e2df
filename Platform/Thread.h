// Worker threads and the one kind of lock the program uses.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>

namespace platform {

// What a thread runs: a callable that carries its own job.
using ThreadProcedure = std::function<void()>;

// Runs `procedure` on a new detached thread; its handle is not kept and
// nothing can wait for it. False when the thread could not be made. A
// `stackBytes` of 0 gives the system's default stack.
bool StartThread(ThreadProcedure procedure, size_t stackBytes = 0);

// A critical section: held through ScopedLock, so that every path out of a
// guarded block releases it, exceptions included.
class CriticalSection {
  public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

  private:
    std::mutex mutex_;
};

class ScopedLock {
  public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~ScopedLock() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

  private:
    CriticalSection& section_;
};

}  // namespace platform
