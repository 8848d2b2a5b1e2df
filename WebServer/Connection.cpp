#include "WebServer/Connection.h"

#include <optional>
#include <string_view>
#include <utility>

#include "WebServer/PlanBody.h"
#include "WebServer/RequestLine.h"
#include "WebServer/ServedSites.h"
#include "WebServer/Site.h"

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

void Connection::Loaded(std::optional<SharedBody> body, char* buffer,
                        ConnectionClock::time_point now) {
    if (!body) {
        Close(now);
    } else {
        if (!plan_.Response) PlanMadeResponse(plan_, request_, body->Size);
        Respond(ResponseBody::InMemory(std::move(*body)));
        deadline_ = now + kPeerWait;
    }
    Advance(buffer, now);
}

// Receives until the first LF, or with the options that read header lines,
// the empty line after them. The request ends incomplete on a silence (see
// Expire), the peer's close, a receive error, or a head over the limit.
void Connection::ReadLine(char* buffer, ConnectionClock::time_point now) {
    const bool headerLines = sites_.Rules().Options.ReadsHeaderLines();
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
    return stage_ == ConnectionStage::ReadingLine && sites_.Rules().Options.ReadsHeaderLines() &&
           HasRequestLine(line_);
}

void Connection::Answer(ConnectionClock::time_point now) {
    request_ = sites_.Rules().Options.ReadsHeaderLines()
                   ? ParseRequestHead(line_)
                   : RequestHead{SplitRequestLine(line_), {}, {}, {}, {}};
    line_ = {};
    plan_ = sites_.Route(request_);
    if (plan_.Kind == PlanKind::Refuse) return Close(now);
    // An answer without a body (HEAD, 304, 416) needs only the length, which
    // the plan knows: the body is not had for it.
    if (plan_.Response && plan_.Response->BodyLength == 0) return Respond(ResponseBody{});
    if (std::optional<ResponseBody> body = QuickBody(plan_)) return Respond(*body);
    stage_ = ConnectionStage::Loading;
}

void Connection::Respond(const ResponseBody& whole) {
    header_ = std::move(plan_.Response->Header);
    body_ = whole.Part(plan_.Response->BodyFirst, plan_.Response->BodyLength);
    sent_ = 0;
    stage_ = ConnectionStage::Sending;
}

// Hands the socket as much of the header and the body as it takes, in one
// call while the header is part of it; waits only when a send would block.
void Connection::Send(ConnectionClock::time_point now) {
    const uint64_t total = header_.size() + body_.Size;
    while (sent_ < total) {
        const std::string_view headerRest =
            sent_ < header_.size() ? std::string_view(header_).substr(sent_) : std::string_view();
        const uint64_t at = sent_ < header_.size() ? 0 : sent_ - header_.size();
        const long put = sender_.Send(socket_, headerRest, body_, at);
        if (put < 0 && platform::WouldBlock()) return;
        if (put < 1) break;
        sent_ += static_cast<uint64_t>(put);
        deadline_ = now + kPeerWait;
    }
    Close(now);
}

void Connection::Close(ConnectionClock::time_point now) {
    platform::ShutdownSending(socket_);
    header_ = {};
    body_ = {};
    plan_ = {};
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
