#include "WebServer/Connection.h"

#include <optional>

#include "WebServer/PageCache.h"
#include "WebServer/RequestLine.h"
#include "WebServer/ServerState.h"

namespace {

constexpr const char* kAnsweredMethod = "GET";

}  // namespace

std::string ResponseHeader(const std::string& version, const std::string& contentType,
                           size_t bodyLength) {
    return version + " 200 OK\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(bodyLength) + "\r\n\r\n";
}

Waiting Connection::WaitingFor() const {
    switch (stage_) {
        case ConnectionStage::ReadingLine:
            return lineStarted_ ? Waiting::Peer : Waiting::FirstByte;
        case ConnectionStage::Sending:
            return Waiting::Peer;
        case ConnectionStage::Draining:
            return Waiting::Drain;
        case ConnectionStage::Loading:
        case ConnectionStage::Done:
            break;
    }
    return Waiting::Nothing;
}

void Connection::Advance(char* buffer, ConnectionClock::time_point now) {
    try {
        Step(buffer, now);
    } catch (...) {
        // Nothing more is sent; the connection is closed as always.
        if (stage_ == ConnectionStage::ReadingLine || stage_ == ConnectionStage::Sending) {
            Close(now);
            Drain(buffer);
        }
    }
}

void Connection::Step(char* buffer, ConnectionClock::time_point now) {
    if (stage_ == ConnectionStage::ReadingLine) ReadLine(buffer, now);
    if (stage_ == ConnectionStage::Sending) Send(now);
    if (stage_ == ConnectionStage::Draining) Drain(buffer);
}

void Connection::Expire(char* buffer, ConnectionClock::time_point now) {
    if (stage_ == ConnectionStage::Draining) {
        stage_ = ConnectionStage::Done;
        return;
    }
    Close(now);
    Drain(buffer);
}

void Connection::Abandon() {
    platform::ShutdownSending(socket_);
    stage_ = ConnectionStage::Done;
}

void Connection::Loaded(const SharedPage* page, char* buffer, ConnectionClock::time_point now) {
    if (page == nullptr) {
        Close(now);
    } else {
        Respond(*page);
        deadline_ = now + kPeerWait;
    }
    Advance(buffer, now);
}

// Receives until the first LF. The line ends incomplete on a silence (see
// Expire), the peer's close, a receive error, or a line over the limit.
void Connection::ReadLine(char* buffer, ConnectionClock::time_point now) {
    for (;;) {
        const long received = platform::Receive(socket_, buffer, kReceiveSize);
        if (received < 0 && platform::WouldBlock()) return;
        if (received < 1) return Close(now);
        lineStarted_ = true;
        deadline_ = now + kPeerWait;
        switch (AppendToRequestLine(line_, buffer, static_cast<size_t>(received))) {
            case LineProgress::Incomplete:
                continue;
            case LineProgress::TooLong:
                return Close(now);
            case LineProgress::Complete:
                break;
        }
        break;
    }
    RequestLine request = SplitRequestLine(line_);
    line_ = {};
    if (request.Method != kAnsweredMethod) return Close(now);
    version_ = std::move(request.Version);
    std::string path = SplitTarget(request.Target).Path;
    std::optional<SharedPage> page =
        LoadPageIfQuick(*Server.Archive, path, Server.Rules, ServedPages);
    if (!page) {
        pathToLoad_ = std::move(path);
        stage_ = ConnectionStage::Loading;
        return;
    }
    Respond(*page);
}

void Connection::Respond(const SharedPage& page) {
    header_ = ResponseHeader(version_, page.ContentType, page.Body.Size);
    body_ = page.Body;
    sent_ = 0;
    stage_ = ConnectionStage::Sending;
}

// Hands the socket as much of the header and the body as it takes, in one
// call while the header is part of it; waits only when a send would block.
// Every call carries the rest of the response and the end of the stream
// follows it at once, so the system may hold the last bytes to send them
// with the end: one packet fewer for a small page.
void Connection::Send(ConnectionClock::time_point now) {
    constexpr bool kEndFollows = true;
    const size_t total = header_.size() + body_.Size;
    while (sent_ < total) {
        long put;
        if (sent_ < header_.size()) {
            put = platform::SendTwo(socket_, header_.data() + sent_, header_.size() - sent_,
                                    body_.Bytes.get(), body_.Size, kEndFollows);
        } else {
            const size_t at = sent_ - header_.size();
            put = platform::Send(socket_, body_.Bytes.get() + at, body_.Size - at, kEndFollows);
        }
        if (put < 0 && platform::WouldBlock()) return;
        if (put < 1) break;
        sent_ += static_cast<size_t>(put);
        deadline_ = now + kPeerWait;
    }
    Close(now);
}

void Connection::Close(ConnectionClock::time_point now) {
    platform::ShutdownSending(socket_);
    header_ = {};
    body_ = {};
    line_ = {};
    stage_ = ConnectionStage::Draining;
    deadline_ = now + kDrainTime;
}

// Reads and drops what the peer still sends until it closes its side, or the
// drain's byte bound is reached (its time bound is the deadline).
void Connection::Drain(char* buffer) {
    while (drained_ < kDrainByteLimit) {
        const long received = platform::Receive(socket_, buffer, kReceiveSize);
        if (received < 0 && platform::WouldBlock()) return;
        if (received < 1) break;
        drained_ += static_cast<size_t>(received);
    }
    stage_ = ConnectionStage::Done;
}
