// One accepted connection: one request line read, at most one response sent,
// then a graceful close.
#pragma once

#include <chrono>
#include <cstddef>

// Bytes asked for by one receive and handed to one send: the size of one
// Ethernet frame's payload, as the server has always used.
inline constexpr size_t kReceiveSize = 1510;
inline constexpr size_t kSendSize = 1510;

// Longest silence a connection is granted, per wait for the peer to send or
// to take more of the response.
inline constexpr std::chrono::milliseconds kPeerWait{3000};

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

// Thread procedure; the argument is the accepted socket. Serves at most one
// request, then shuts the connection down, drains it and closes it.
void ConnectionThread(void* argument);
