// Tells a running server's threads to end: set once by the server's owner,
// seen by every event loop at its next turn. A loop asleep in its poller is
// woken for it.
//
// Thread safety: every call may come from any thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "Platform/Poller.h"

class StopSignal {
  public:
    void Request() {
        std::lock_guard guard(lock_);
        requested_ = true;
        for (platform::Poller* poller : pollers_) poller->Wake();
    }

    bool Requested() const { return requested_.load(); }

    // Wakes `poller` on a request, from now until Forget; at once when one
    // came already.
    void Notify(platform::Poller& poller) {
        std::lock_guard guard(lock_);
        pollers_.push_back(&poller);
        if (requested_) poller.Wake();
    }

    void Forget(platform::Poller& poller) {
        std::lock_guard guard(lock_);
        pollers_.erase(std::remove(pollers_.begin(), pollers_.end(), &poller), pollers_.end());
    }

  private:
    std::mutex lock_;
    std::atomic<bool> requested_{false};
    std::vector<platform::Poller*> pollers_;
};
