// One accepted connection: one request line read, at most one response sent,
// then a graceful close; with --browse-keep-alive, request after request,
// answered in order, until one asks for the close or the connection idles. A connection never
// blocks: each step does what the socket allows now and says what it waits for next, so that one
// thread can serve many connections at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Socket.h"
#include "WebServer/BodySender.h"
#include "WebServer/PageCache.h"
#include "WebServer/RequestHead.h"
#include "WebServer/ResponseBody.h"
#include "WebServer/Route.h"

class ServedSites;

// Bytes asked for by one receive: a whole request with its header lines, as
// browsers send them, in one call.
inline constexpr size_t kReceiveSize = size_t{16} * 1024;

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

using ConnectionClock = std::chrono::steady_clock;

enum class ConnectionStage {
    ReadingLine,  // waiting for the request line (with the options that need
                  // them, the header lines too) to end
    Loading,      // the page's body is being made (MakeBody), or compressed
                  // (MakeCompressedBody), on the loader pool
    Sending,      // the response is on its way
    Draining,     // sending is shut down; what the peer still sends is dropped
    Done,         // to be closed
};

// What a connection waits for before its next step: Idle is a persistent
// connection's wait for its next request.
enum class Waiting { FirstByte, Idle, Peer, Drain, Nothing };

class Connection {
  public:
    Connection(const ServedSites& sites, platform::Socket socket, ConnectionClock::time_point now);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    platform::Socket Socket() const { return socket_; }
    ConnectionStage Stage() const { return stage_; }
    ConnectionClock::time_point Deadline() const { return deadline_; }
    Waiting WaitingFor() const;

    // Does all the socket allows at `now`. `buffer` (kReceiveSize bytes) is
    // scratch space, shared with other connections. A request whose body must
    // be made on the loader pool leaves the connection in Loading, with its
    // Plan() to make it from; any failure, exceptions included, ends in the
    // close.
    void Advance(char* buffer, ConnectionClock::time_point now);

    // Its wait ran out at `now`, as the loop saw it. The loop may itself have
    // been busy past the deadline: a peer whose socket is ready now (it took
    // data, or sent some) is not at fault and keeps its connection; only one
    // that still is not ready is closed.
    void Expire(char* buffer, ConnectionClock::time_point now);

    // Ends it at once, without the drain: its socket cannot be waited for.
    void Abandon();

    // What its request came to (RouteRequest), once the request is read.
    const RequestPlan& Plan() const { return plan_; }

    // When it waits for its page's body to be compressed: that body, plain.
    // Loaded then takes the compressed form, or an empty body when it did not shrink.
    bool Compressing() const { return compressing_; }
    const SharedBody& BodyToCompress() const { return plain_; }

    // The body made for it on the loader pool (or none, when that failed).
    // The wait for the peer starts only now: until its first byte was ready
    // the peer had nothing to take.
    void Loaded(std::optional<SharedBody> body, char* buffer, ConnectionClock::time_point now);

  private:
    void Step(char* buffer, ConnectionClock::time_point now);
    void ReadLine(char* buffer, ConnectionClock::time_point now);
    bool HeadEndsHere() const;
    void Answer(ConnectionClock::time_point now);
    void HaveBody(const ResponseBody& whole);
    void Compressed(std::optional<SharedBody> compressed);
    void Respond(const ResponseBody& whole);
    void Send(ConnectionClock::time_point now);
    void NextRequest(ConnectionClock::time_point now);
    void Log();
    void Close(ConnectionClock::time_point now);
    void Drain(char* buffer);

    const ServedSites& sites_;
    const platform::Socket socket_;
    ConnectionStage stage_ = ConnectionStage::ReadingLine;
    ConnectionClock::time_point deadline_;
    bool lineStarted_ = false;
    std::string line_;  // with the header lines, when they are read
    // Bytes received after a request's head: the next request's, at most one
    // receive's worth, read only once the response before it is sent.
    std::string pending_;
    RequestHead request_;
    RequestPlan plan_;
    unsigned answered_ = 0;    // requests answered on this connection
    bool responding_ = false;  // a response is planned and not yet logged
    int status_ = 200;         // of that response
    bool compressing_ = false;
    SharedBody plain_;  // the body being compressed
    std::string header_;
    ResponseBody body_;  // the part of the page's body that is sent
    BodySender sender_;
    uint64_t sent_ = 0;  // of header and that part together
    std::string peer_;   // its address, for the access log only
    size_t drained_ = 0;
};
