#include "WebServer/Connection.h"

#include <optional>

#include "WebServer/PageCache.h"
#include "WebServer/RequestLine.h"
#include "WebServer/SearchRoute.h"
#include "WebServer/ServerState.h"

namespace {

constexpr const char* kAnsweredMethod = "GET";
// Answered as GET is, without the body, with --browse-head.
constexpr const char* kHeadMethod = "HEAD";

}  // namespace

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
    if (HeadEndsHere()) {
        deadline_ = now + kPeerWait;
        try {
            Answer(now);
        } catch (...) {
            Close(now);
        }
        return Advance(buffer, now);
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

// Receives until the first LF, or with the options that read header lines,
// the empty line after them. The request ends incomplete on a silence (see
// Expire), the peer's close, a receive error, or a head over the limit.
void Connection::ReadLine(char* buffer, ConnectionClock::time_point now) {
    const bool headerLines = Server.Rules.Options.ReadsHeaderLines();
    for (;;) {
        const long received = platform::Receive(socket_, buffer, kReceiveSize);
        if (received < 0 && platform::WouldBlock()) return;
        if (received < 1) {
            if (received == 0 && HeadEndsHere()) break;
            return Close(now);
        }
        lineStarted_ = true;
        deadline_ = now + kPeerWait;
        const auto count = static_cast<size_t>(received);
        if (headerLines) {
            const HeadProgress progress = AppendToRequestHead(line_, buffer, count);
            if (progress == HeadProgress::Incomplete) continue;
            if (progress == HeadProgress::TooLong) return Close(now);
            break;
        }
        const LineProgress progress = AppendToRequestLine(line_, buffer, count);
        if (progress == LineProgress::Incomplete) continue;
        if (progress == LineProgress::TooLong) return Close(now);
        break;
    }
    Answer(now);
}

// A peer that has sent its request line and then goes silent or closes its
// side, before the empty line, is answered with what it sent: clients that
// send only the request line are still served.
bool Connection::HeadEndsHere() const {
    return stage_ == ConnectionStage::ReadingLine && Server.Rules.Options.ReadsHeaderLines() &&
           HasRequestLine(line_);
}

void Connection::Answer(ConnectionClock::time_point now) {
    const BrowseOptions& options = Server.Rules.Options;
    request_ = options.ReadsHeaderLines() ? ParseRequestHead(line_)
                                          : RequestHead{SplitRequestLine(line_), {}, {}, {}, {}};
    line_ = {};
    const std::string& method = request_.Line.Method;
    if (method != kAnsweredMethod && !(options.Head && method == kHeadMethod)) return Close(now);
    RequestTarget target = SplitTarget(request_.Line.Target);
    std::string path = std::move(target.Path);
    if (AsksForSearch(Server.Search, *Server.Archive, path, options)) {
        pathToLoad_ = std::move(path);
        searchQuery_ = std::move(target.Query);
        loadingSearch_ = true;
        stage_ = ConnectionStage::Loading;
        return;
    }
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
    const ResponsePlan plan =
        PlanResponse(request_, {page.Kind, page.ContentType, page.Body.Size, page.Entry},
                     Server.Rules.Options, Server.Version);
    header_ = plan.Header;
    body_ = page.Body;
    bodyFirst_ = static_cast<size_t>(plan.BodyFirst);
    bodyLength_ = static_cast<size_t>(plan.BodyLength);
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
    const size_t total = header_.size() + bodyLength_;
    const char* part = body_.Bytes.get() + bodyFirst_;
    while (sent_ < total) {
        long put;
        if (sent_ < header_.size()) {
            put = platform::SendTwo(socket_, header_.data() + sent_, header_.size() - sent_, part,
                                    bodyLength_, kEndFollows);
        } else {
            const size_t at = sent_ - header_.size();
            put = platform::Send(socket_, part + at, bodyLength_ - at, kEndFollows);
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
