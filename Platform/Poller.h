// Waits on many sockets at once for one thread: the readiness a watched socket
// is waiting for, and a wake-up other threads can send. Linux uses epoll; other
// systems need their own implementation of this one header.
//
// Thread safety: one thread owns a Poller and calls everything but Wake, which
// any thread may call at any time.
#pragma once

#include <cstdint>
#include <memory>

#include "Platform/Socket.h"

namespace platform {

enum class Interest : uint8_t { Readable, Writable };

class Poller {
  public:
    Poller();
    ~Poller();
    Poller(const Poller&) = delete;
    Poller& operator=(const Poller&) = delete;

    // False when the system could not make one; nothing else may then be used.
    bool Valid() const;

    // Starts watching `socket` for `interest`; Wait reports it by `tag`.
    bool Watch(Socket socket, Interest interest, void* tag);

    // Changes what a watched socket is waited for.
    bool Change(Socket socket, Interest interest, void* tag);

    // Watches a listening socket that other pollers watch too: a connection
    // arriving wakes only one of them.
    bool WatchShared(Socket listener, void* tag);

    // Stops watching `socket`, which stays open.
    void Unwatch(Socket socket);

    // Stops watching `socket` because it is about to be closed. Events that
    // were already under way may still carry its tag in a later Wait.
    void Forget(Socket socket);

    // Waits at most `milliseconds` (-1: no bound) and puts the tags of ready
    // sockets into `tags`; returns how many (0 on a time-out, a wake-up or an
    // interruption).
    int Wait(void** tags, int capacity, int milliseconds);

    // Ends the owner's current or next Wait early.
    void Wake();

  private:
    struct State;  // each system's own
    std::unique_ptr<State> state_;
};

}  // namespace platform
