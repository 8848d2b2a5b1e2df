// TCP sockets with the effects the server relies on. Two Linux differences are
// hidden here: binding succeeds over connections this program left in
// TIME_WAIT (while a live listener still refuses it), and a send to a peer that
// has gone never raises SIGPIPE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifndef _WIN32
#include <sys/socket.h>
#endif

namespace platform {

#ifdef _WIN32
// A Winsock SOCKET; INVALID_SOCKET is all bits set.
using Socket = uintptr_t;
inline constexpr Socket kInvalidSocket = ~uintptr_t{0};
#else
using Socket = int;
inline constexpr Socket kInvalidSocket = -1;
#endif

// The largest backlog of pending connections the system takes for a listener.
#ifdef _WIN32
inline constexpr int kLargestBacklog = 0x7fffffff;  // SOMAXCONN: "as many as allowed"
#else
inline constexpr int kLargestBacklog = SOMAXCONN;
#endif

// An IPv4 stream socket, not inherited by child processes.
Socket CreateStreamSocket();

// Binds to `port` on all interfaces. Succeeds over TIME_WAIT connections left
// on the port, fails while another socket is bound or listening there.
bool BindAllInterfaces(Socket socket, uint16_t port);

bool Listen(Socket socket, int backlog);

// The next connection, without its peer's address; kInvalidSocket on failure.
Socket Accept(Socket listener);

// The next connection, its socket set not to block; kInvalidSocket on
// failure, and then WouldBlock() tells whether none was waiting.
Socket AcceptNonBlocking(Socket listener);

// Whether the last failed accept on this thread lost only that one
// connection (its peer gave up before it was accepted); the next may succeed.
bool ConnectionAborted();

// Sets the socket not to block: calls that cannot proceed fail at once, and
// WouldBlock() is then true.
bool MakeNonBlocking(Socket socket);

// Whether the last failed call on this thread failed only because it would
// have had to wait.
bool WouldBlock();

// What a wait for readiness came to.
enum class WaitResult { Ready, TimedOut, Failed };

// Waits at most `milliseconds` for the socket to have something to receive
// (data, the peer's close or an error, all of which a receive then reports).
WaitResult WaitReadable(Socket socket, int milliseconds);

// Waits at most `milliseconds` for the socket to take more data to send.
WaitResult WaitWritable(Socket socket, int milliseconds);

// Receives up to `count` bytes: the count received, 0 when the peer has closed
// its side, -1 on an error.
long Receive(Socket socket, void* buffer, size_t count);

// Sends up to `count` bytes: the count taken, -1 on an error. Never raises
// SIGPIPE. With `moreFollows` the system may hold the bytes briefly to join
// them with the next send, or with the end of the stream when ShutdownSending
// comes next, into fuller packets; the bytes are the same.
long Send(Socket socket, const void* buffer, size_t count, bool moreFollows = false);

// Sends up to `firstCount` bytes of `first` followed by up to `secondCount`
// of `second` in one call: the count taken from both, -1 on an error. Never
// raises SIGPIPE. `moreFollows` as for Send.
long SendTwo(Socket socket, const void* first, size_t firstCount, const void* second,
             size_t secondCount, bool moreFollows = false);

// No more sends: the peer sees the end of the stream once what was sent
// before has arrived.
void ShutdownSending(Socket socket);

void CloseSocket(Socket socket);

// Sends every piece as soon as it is handed over, without waiting to join a
// small last piece with more (Nagle's algorithm): on a connection that stays
// open, the end of a response must not wait for the peer's acknowledgement.
// Pieces sent with `moreFollows` are still held.
void SendAtOnce(Socket socket);

// The address of the connected peer, as "127.0.0.1" (empty when it cannot
// be told).
std::string PeerAddress(Socket socket);

// The local port the socket is bound to (0 when it cannot be told).
uint16_t LocalPort(Socket socket);

}  // namespace platform
