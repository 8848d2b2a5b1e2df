#include "WebServer/Connection.h"

#include <optional>
#include <string_view>
#include <utility>

#include "WebServer/RequestLine.h"
#include "WebServer/Site.h"

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
    // Asked of the socket itself, as the poller would answer: a peer that has
    // taken data or sent some meanwhile has its readiness reported; a send
    // that a full socket takes a few bytes of does not count.
    const bool ready = stage_ == ConnectionStage::Sending
                           ? platform::WaitWritable(socket_, 0) == platform::WaitResult::Ready
                           : platform::WaitReadable(socket_, 0) == platform::WaitResult::Ready;
    if (ready) {
        const ConnectionStage stage = stage_;
        const ConnectionClock::time_point deadline = deadline_;
        Advance(buffer, now);
        // Moved on, or data moved and the wait began again.
        if (stage_ != stage || deadline_ != deadline) return;
    }
    Close(now);
    Drain(buffer);
}

void Connection::Abandon() {
    platform::ShutdownSending(socket_);
    stage_ = ConnectionStage::Done;
}

void Connection::Loaded(std::optional<SharedBody> body, char* buffer,
                        ConnectionClock::time_point now) {
    if (!body) {
        Close(now);
    } else {
        Respond(SharedPage{ResponseBody::InMemory(std::move(*body)), std::move(contentType_)});
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
    PageStart start = StartPage(site_, SplitTarget(request.Target).Path);
    if (!start.Ready) {
        entryToLoad_ = start.LargeEntry;
        contentType_ = std::move(start.ContentType);
        stage_ = ConnectionStage::Loading;
        return;
    }
    Respond(*start.Ready);
}

void Connection::Respond(const SharedPage& page) {
    header_ = ResponseHeader(version_, page.ContentType, page.Body.Size);
    body_ = page.Body;
    sent_ = 0;
    stage_ = ConnectionStage::Sending;
}

// Hands the socket as much of the header and the body as it takes, in one
// call while the header is part of it; waits only when a send would block.
void Connection::Send(ConnectionClock::time_point now) {
    const size_t total = header_.size() + body_.Size;
    while (sent_ < total) {
        const std::string_view headerRest =
            sent_ < header_.size() ? std::string_view(header_).substr(sent_) : std::string_view();
        const uint64_t at = sent_ < header_.size() ? 0 : sent_ - header_.size();
        const long put = sender_.Send(socket_, headerRest, body_, at);
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
    sender_.Reset();
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
