// One accepted connection: one request line read, at most one response sent,
// then a graceful close.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "Platform/Socket.h"
#include "WebServer/LoadPage.h"

// Bytes asked for by one receive and handed to one send: the size of one
// Ethernet frame's payload, as the server has always used.
inline constexpr size_t kReceiveSize = 1510;
inline constexpr size_t kSendSize = 1510;

// Longest silence a connection is granted, per wait for the peer to send or
// to take more of the response.
inline constexpr std::chrono::milliseconds kPeerWait{3000};

// Longest wait for the first byte of the request line. Browsers open
// connections before they need them and keep them unused for up to about ten
// seconds; they do not retry a request that meets a connection the server has
// already closed, so a shorter wait loses style sheets and scripts.
inline constexpr std::chrono::milliseconds kFirstByteWait{60000};

// After the response, what the peer still sends (header lines, a body) is
// read and thrown away until it closes its side, so that closing the socket
// does not reset the connection and drop the response's tail. These bounds
// keep a peer from holding the connection: the whole drain lasts at most
// kDrainTime, long enough for a peer to read a response already on its way
// and close ...
inline constexpr std::chrono::milliseconds kDrainTime{2000};
// ... and reads at most kDrainByteLimit bytes, more than any browser sends as
// header lines with one request.
inline constexpr size_t kDrainByteLimit = size_t{1024} * 1024;

// Stack of a connection thread. A connection needs little (its buffers live on
// the heap, apart from one receive buffer), and small stacks are cheap to
// start and are kept for reuse by the system's thread library, which matters
// when every connection starts a thread. Sanitizers need several times more.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PELORINE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(PELORINE_SANITIZED)
inline constexpr size_t kConnectionStackBytes = size_t{4} * 1024 * 1024;
#else
inline constexpr size_t kConnectionStackBytes = size_t{256} * 1024;
#endif

// Runs on a thread of its own for the accepted `socket`. Serves at most one
// request, then shuts the connection down, drains it and closes it.
void ConnectionThread(platform::Socket socket);

// The one response the server sends: the request's own version echoed,
// " 200 OK", Content-Type and Content-Length (the body alone), then the empty
// line. The page's body follows it on the wire, sent from where it lies.
std::string ResponseHeader(const std::string& version, const Page& page);
