// The threads that serve connections: one per two processors, each running one
// event loop that accepts from the shared listening socket and serves every
// connection it accepted, none of them ever blocking the others.
#pragma once

#include "Platform/Socket.h"

// Serves `listener` (listening) on this thread and on one more connection
// thread per further two processors, for as long as the process runs. Returns only
// when this thread's event loop could not be made.
void ServeConnections(platform::Socket listener);
