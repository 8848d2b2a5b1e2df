// An event loop's wait for its sockets: a look that does not sleep first,
// then, when nothing is ready, the processor yielded once and the sleep.
// The client is often the thread waiting for this processor, about to close
// a connection or open the next one; a sleep and a wake-up cost more than the
// yield, and under load most of them are saved.
#pragma once

#include <functional>

#include "Platform/Poller.h"

// Waits at most `milliseconds` (-1: no bound) for the sockets `poller`
// watches and puts the tags of the ready ones into `ready`, at most
// `capacity`; returns how many. The look may take a wake-up (Poller::Wake)
// whose work the caller has not seen yet; `wokenMeanwhile` says whether such
// work waits, in which case the wait ends at once instead of sleeping past it.
int WaitForReady(platform::Poller& poller, void** ready, int capacity, int milliseconds,
                 const std::function<bool()>& wokenMeanwhile);
