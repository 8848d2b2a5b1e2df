// The threads that serve connections: one per processor, each running one
// event loop that accepts from the shared listening socket and serves every
// connection it accepted, none of them ever blocking the others.
#pragma once

#include "Platform/Socket.h"

// Serves `listener` (listening) on this thread and on one more connection
// thread per further processor, for as long as the process runs. Returns only
// when this thread's event loop could not be made.
void ServeConnections(platform::Socket listener);
