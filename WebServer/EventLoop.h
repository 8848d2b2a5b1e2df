// The threads that serve connections: one per processor, each running one
// event loop that accepts from the shared listening socket and serves every
// connection it accepted, none of them ever blocking the others. Work too
// slow for a loop goes to the site's loader pool, which posts the finished
// body back to the loop that asked.
#pragma once

#include <functional>

#include "Platform/Socket.h"
#include "WebServer/StopSignal.h"

class ServedSites;
class LoaderPool;

// Serves `listener` (listening) on this thread and on one more thread per
// further processor, until `stop` is requested; then closes every connection,
// and returns once the other threads have ended. `loaders` is stopped before
// the loops it posts to go away, and then `stopBodies`, which stops every
// site's large bodies from answering loops that are gone. Returns at once,
// serving nothing, when this thread's event loop could not be made.
void ServeConnections(platform::Socket listener, const ServedSites& sites, LoaderPool& loaders,
                      StopSignal& stop, const std::function<void()>& stopBodies);
