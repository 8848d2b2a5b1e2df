// The server's listening thread, and the handle its owner keeps.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "Platform/Socket.h"
#include "WebServer/BrowseOptions.h"
#include "WebServer/ServerState.h"
#include "WebServer/StopSignal.h"

// Connections the system may hold for the listener before it accepts them:
// as many as it allows. With only a handful, Linux drops the handshakes of a
// burst of connections (a page with many images, many clients at once), and
// their synchronised retransmissions stall them for tens of seconds.
inline constexpr int kListenBacklog = platform::kLargestBacklog;

// Pause after a failed accept before the next try: a failure such as running
// out of descriptors repeats at once, and retrying without a pause would spin
// the processor until a connection ends.
inline constexpr std::chrono::milliseconds kAcceptRetryPause{50};

// What to serve and where.
struct ServeJob {
    std::string BrowseArchivePath;  // the archive to serve; with Library, the folder
    uint16_t Port = kServerPort;    // TCP port, on all interfaces
    BrowseOptions Options;          // the opt-in options, all off by default
    // --browse-library: every archive in the folder, each under its name,
    // with a start page that lists them; changes are picked up as it serves.
    bool Library = false;
};

// Loads job.BrowseArchivePath, then listens on all interfaces and serves every
// connection on the event loops (this thread runs one of them), reporting to
// `status`, until `stop` is requested; then ends every thread it started
// and returns. Ends early when the archive cannot be opened, the port cannot
// be used or no event loop can be made; status.CurrentServerStage tells which.
void ServerThread(const ServeJob& job, ServerState& status, StopSignal& stop);

// A server running on a thread of its own, owned by the front end that
// started it: Stop, or the end of the handle, ends the server and joins every
// thread it started.
class BrowseServer {
  public:
    explicit BrowseServer(ServerState& status) : status_(status) {}
    ~BrowseServer() { Stop(); }
    BrowseServer(const BrowseServer&) = delete;
    BrowseServer& operator=(const BrowseServer&) = delete;

    // Starts serving `job`; false when no thread could be started (nothing
    // runs then). One server per handle.
    bool Start(const ServeJob& job);

    // Ends the server, if it runs, and waits for it.
    void Stop();

  private:
    ServerState& status_;
    StopSignal stop_;
    std::thread thread_;
};
