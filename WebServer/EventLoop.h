// The threads that serve connections: one per processor, each running one
// event loop that accepts from the shared listening socket and serves every
// connection it accepted, none of them ever blocking the others. Work too
// slow for a loop goes to the site's loader pool, which posts the finished
// body back to the loop that asked.
#pragma once

#include "Platform/Socket.h"
#include "WebServer/StopSignal.h"

struct Site;
class LoaderPool;

// Serves `listener` (listening) on this thread and on one more thread per
// further processor, until `stop` is requested; then closes every connection,
// and returns once the other threads have ended. `loaders` is stopped before
// the loops it posts to go away. Returns at once, serving nothing, when this
// thread's event loop could not be made.
void ServeConnections(platform::Socket listener, Site& site, LoaderPool& loaders, StopSignal& stop);
