// Many loopback peers at once, driven from one thread without blocking: some
// behave, some read slowly, write slowly, reset mid-response or never send.
// One thread keeps the test's own cost low, so that the server's threads are
// what the machine runs.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace reliability {

enum class PeerKind {
    Good,        // sends the request at once and reads the response as it comes
    SlowReader,  // small receive buffer; waits kSlowReaderFirstRead, then reads a little at a time
    SlowWriter,  // sends the request's tail one byte every kSlowWriterInterval
    Resetting,   // resets the connection (SO_LINGER 0, close) once the response has begun
    Silent,      // connects and never sends
};

inline constexpr std::chrono::milliseconds kSlowReaderFirstRead{2000};
inline constexpr std::chrono::milliseconds kSlowReaderInterval{200};
inline constexpr size_t kSlowReaderPiece = 16 * 1024;
inline constexpr int kSmallReceiveBuffer = 4096;
inline constexpr std::chrono::milliseconds kSlowWriterInterval{2000};

struct PeerPlan {
    PeerKind kind = PeerKind::Good;
    std::string request;
    // The whole response the peer must get; for a resetting peer, what the
    // part it got must be the start of.
    std::string expected;
    // A slow writer sends this many bytes at once, then the rest one by one.
    size_t sentAtOnce = 0;
};

struct PeerOutcome {
    bool connected = false;
    std::string received;
    bool reset = false;     // the server reset the connection
    bool timedOut = false;  // the crowd's own bound ran out first
    std::chrono::milliseconds elapsed{0};
};

struct CrowdOptions {
    size_t atOnce = 1;
    // Peers after the first `atOnce` are started no earlier than their share
    // of this time, so that peers keep arriving while the slow ones last.
    std::chrono::milliseconds spreadOver{0};
    std::chrono::milliseconds limit{60000};
};

struct CrowdFigures {
    size_t peakOpen = 0;  // connections open at the same time, at most
    size_t started = 0;
    std::chrono::milliseconds elapsed{0};
};

// Runs every plan against 127.0.0.1:`port`, in order, with at most
// `options.atOnce` connections open at a time; returns one outcome per plan.
std::vector<PeerOutcome> RunCrowd(uint16_t port, const std::vector<PeerPlan>& plans,
                                  const CrowdOptions& options, CrowdFigures& figures);

// Empty when the outcome is what a server must give this kind of peer;
// otherwise what went wrong.
std::string Judge(const PeerPlan& plan, const PeerOutcome& outcome);

const char* KindName(PeerKind kind);

// Entries in a /proc folder such as /proc/self/fd or /proc/PID/task (-1 when
// it cannot be listed).
int CountEntries(const std::string& folder);

// Raises this process's descriptor limit to the hard limit; returns it.
uint64_t RaiseOwnDescriptorLimit();

}  // namespace reliability
