// A fixed set of threads for the work too slow for an event loop: reading and
// decompressing large entries, answering searches. Jobs run in the order
// given; each job hands its result back itself (to the loop that asked, see
// EventLoop). It knows nothing of the archives whose work it does, so one
// pool can serve several.
//
// Thread safety: Submit may be called from any thread; Stop by the owner.
#pragma once

#include <functional>

#include "Shared/WorkerGroup.h"

class LoaderPool {
  public:
    using Job = std::function<void()>;

    // Starts `threads` loaders (at least one when any can be started).
    explicit LoaderPool(unsigned threads, const WorkerGroup::StartFault& fault = {});

    // Whether any loader runs.
    bool Ready() const { return group_.Workers() != 0; }

    // Queues `job` without waiting; false once stopped (the job is then
    // dropped). The queue holds at most one job per waiting request, and a
    // connection waits for one page at a time, so connections bound it.
    bool Submit(Job job);

    // Lets the running jobs end, drops the queued ones, and joins every
    // loader. Idempotent.
    void Stop() { group_.Stop(); }

  private:
    WorkerGroup group_;
};

// Loaders the server runs: one per processor, since decompression keeps a
// processor busy and more loaders would only take turns with the event loops.
unsigned LoaderCount();
