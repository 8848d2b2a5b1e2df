// The memory budget for large bodies, one for every archive a server serves:
// what is charged against it, and who waits for room, first in, first served,
// whichever archive asks. Only arithmetic and a queue: the store that owns it
// (LargeBodies) holds it under its lock and does the work its answers call
// for.
#pragma once

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

#include "WebServer/BodyKey.h"

class BodyBudget {
  public:
    explicit BodyBudget(size_t limitBytes) : limit_(limitBytes) {}

    // Body `key` asks for `cost` bytes. Charged at once (true) when they fit
    // and nobody waits before it; otherwise it waits. A cost larger than the
    // whole limit fits once nothing else is charged: it is made alone.
    bool Admit(BodyKey key, size_t cost);

    // Gives `bytes` back. The waiting bodies that fit now, in the order they
    // asked, are charged and returned: they may start.
    std::vector<BodyKey> Release(size_t bytes);

    // Bytes to let go of before the first waiting body fits; 0 when nobody
    // waits.
    size_t RoomNeeded() const;

    // Whether a body just made may be kept after its last reader: nobody waits
    // for room, and the budget stays within its limit once `returning` bytes
    // (its stream) are given back.
    bool MayKeep(size_t returning) const;

    // Forgets every wait (the server is stopping): the bodies that waited,
    // in the order they asked.
    std::vector<BodyKey> ForgetWaits();

    size_t InUse() const { return inUse_; }
    size_t Waiting() const { return waiting_.size(); }

  private:
    bool Fits(size_t bytes) const { return inUse_ == 0 || inUse_ + bytes <= limit_; }

    const size_t limit_;
    size_t inUse_ = 0;
    // Bodies waiting for room, with what each will charge, in the order asked.
    std::deque<std::pair<BodyKey, size_t>> waiting_;
};
