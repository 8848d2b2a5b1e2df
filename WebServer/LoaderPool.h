// A fixed set of threads for the work too slow for an event loop: reading and
// decompressing large entries. Jobs run in the order given; each job hands
// its result back itself (to the loop that asked, see EventLoop).
//
// Thread safety: Submit may be called from any thread; Stop by the owner.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class LoaderPool {
  public:
    using Job = std::function<void()>;

    // Starts `threads` loaders (at least one when any can be started).
    explicit LoaderPool(unsigned threads);
    ~LoaderPool();
    LoaderPool(const LoaderPool&) = delete;
    LoaderPool& operator=(const LoaderPool&) = delete;

    // Whether any loader runs.
    bool Ready() const { return !threads_.empty(); }

    // Queues `job`; false once stopped (the job is then dropped). The queue
    // holds at most one job per waiting request, and a connection waits for
    // one page at a time, so connections bound it.
    bool Submit(Job job);

    // Lets the running jobs end, drops the queued ones, and joins every
    // loader. Idempotent.
    void Stop();

  private:
    void RunLoader();

    std::mutex lock_;
    std::condition_variable queued_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Loaders the server runs: one per processor, since decompression keeps a
// processor busy and more loaders would only take turns with the event loops.
unsigned LoaderCount();
