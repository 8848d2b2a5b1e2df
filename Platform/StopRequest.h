// The user's request to stop a console program: Ctrl+C, or on Linux SIGTERM,
// on Windows closing the console window.
#pragma once

namespace platform {

// From now on a stop request no longer ends the process at once but waits to
// be taken by WaitForStopRequest. Call before starting any thread, so that no
// worker is ever interrupted by one.
void TakeStopRequests();

// Waits at most `milliseconds` for a stop request; true when one came.
bool WaitForStopRequest(int milliseconds);

}  // namespace platform
