// The server's listening thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "Platform/Socket.h"
#include "WebServer/BrowseOptions.h"
#include "WebServer/ServerState.h"

// Connections the system may hold for the listener before it accepts them:
// as many as it allows. With only a handful, Linux drops the handshakes of a
// burst of connections (a page with many images, many clients at once), and
// their synchronised retransmissions stall them for tens of seconds.
inline constexpr int kListenBacklog = platform::kLargestBacklog;

// Pause after a failed accept before the next try: a failure such as running
// out of descriptors repeats at once, and retrying without a pause would spin
// the processor until a connection ends.
inline constexpr std::chrono::milliseconds kAcceptRetryPause{50};

// What to serve and where. A thread started with it runs ServerThread on its
// own copy.
struct ServeJob {
    std::string BrowseArchivePath;  // the archive to serve
    uint16_t Port = kServerPort;    // TCP port, on all interfaces
    BrowseOptions Options;          // the opt-in options, all off by default

    void operator()() const;
};

// Loads job.BrowseArchivePath into Archive, then listens on all interfaces
// and serves every connection on the connection threads' event loops (this
// thread runs one of them) for as long as the process runs. Ends only when the
// archive cannot be opened, the port cannot be used or no event loop can be
// made; Server.CurrentServerStage tells which.
void ServerThread(const ServeJob& job);
