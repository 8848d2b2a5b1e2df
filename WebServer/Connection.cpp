#include "WebServer/Connection.h"

#include <chrono>
#include <optional>
#include <string_view>
#include <utility>

#include "WebServer/AccessLog.h"
#include "WebServer/AccessLogLine.h"
#include "WebServer/KeepAlive.h"
#include "WebServer/PlanBody.h"
#include "WebServer/RequestLine.h"
#include "WebServer/ServedSites.h"
#include "WebServer/Site.h"

Connection::Connection(const ServedSites& sites, platform::Socket socket,
                       ConnectionClock::time_point now)
    : sites_(sites), socket_(socket), deadline_(now + kFirstByteWait) {
    if (sites_.Log() != nullptr) peer_ = platform::PeerAddress(socket_);
}

Waiting Connection::WaitingFor() const {
    switch (stage_) {
        case ConnectionStage::ReadingLine:
            if (lineStarted_) return Waiting::Peer;
            return answered_ == 0 ? Waiting::FirstByte : Waiting::Idle;
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

// On a persistent connection a response sent whole leads back to reading,
// and requests already received are answered one after the other, until
// one must wait for the socket or the loader pool.
void Connection::Step(char* buffer, ConnectionClock::time_point now) {
    for (;;) {
        if (stage_ == ConnectionStage::ReadingLine) ReadLine(buffer, now);
        if (stage_ != ConnectionStage::Sending) break;
        Send(now);
        if (stage_ != ConnectionStage::ReadingLine || lineStarted_ || pending_.empty()) break;
    }
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
    if (compressing_) {
        compressing_ = false;
        if (body)
            CompressedFormsOf(plan_.Where->Compressed, plan_.Compress).Add(plan_.Page.Entry, *body);
        Compressed(std::move(body));
        deadline_ = now + kPeerWait;
    } else if (!body) {
        Close(now);
    } else {
        HaveBody(ResponseBody::InMemory(std::move(*body)));
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
        // What came after the last request's head is this one's start.
        std::string taken;
        const char* bytes = buffer;
        size_t count = 0;
        if (!pending_.empty()) {
            taken.swap(pending_);
            bytes = taken.data();
            count = taken.size();
        } else {
            const long received = platform::Receive(socket_, buffer, kReceiveSize);
            if (received < 0 && platform::WouldBlock()) return;
            if (received < 1) {
                if (received == 0 && HeadEndsHere()) break;
                return Close(now);
            }
            count = static_cast<size_t>(received);
        }
        lineStarted_ = true;
        deadline_ = now + kPeerWait;
        if (headerLines) {
            size_t used = count;
            const HeadProgress progress = AppendToRequestHead(line_, bytes, count, &used);
            if (progress == HeadProgress::Incomplete) continue;
            if (progress == HeadProgress::TooLong) return Close(now);
            if (sites_.Rules().Options.KeepAlive) pending_.assign(bytes + used, count - used);
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
    const BrowseOptions& options = sites_.Rules().Options;
    if (options.ReadsHeaderLines()) {
        request_ = ParseRequestHead(line_);
    } else {
        request_ = {};
        request_.Line = SplitRequestLine(line_);
    }
    line_ = {};
    const bool keepOpen = options.KeepAlive && StaysOpenAfter(request_, answered_ + 1);
    plan_ = sites_.Route(request_, keepOpen);
    if (plan_.Kind == PlanKind::Refuse) return Close(now);
    ++answered_;
    if (keepOpen && answered_ == 1) platform::SendAtOnce(socket_);
    // An answer without a body (HEAD, 304, 416) needs only the length, which
    // the plan knows: the body is not had for it.
    if (plan_.Response && plan_.Response->BodyLength == 0) return Respond(ResponseBody{});
    if (std::optional<ResponseBody> body = QuickBody(plan_)) return HaveBody(*body);
    stage_ = ConnectionStage::Loading;
}

// The whole body, had at once or made: sent, or first compressed, from the
// compressed cache or, the first time, on the loader pool (see Compressed).
void Connection::HaveBody(const ResponseBody& whole) {
    if (plan_.Compress == ContentCoding::Identity) {
        if (!plan_.Response) PlanMadeResponse(plan_, request_, whole.Size);
        return Respond(whole);
    }
    if (std::optional<SharedBody> compressed =
            CompressedFormsOf(plan_.Where->Compressed, plan_.Compress).Find(plan_.Page.Entry)) {
        plain_ = whole.Memory;
        return Compressed(std::move(compressed));
    }
    plain_ = whole.Memory;
    compressing_ = true;
    stage_ = ConnectionStage::Loading;
}

// Sends the compressed form of plain_, or plain_ itself when that form is
// empty (it does not shrink) or none (it could not be made).
void Connection::Compressed(std::optional<SharedBody> compressed) {
    SharedBody body = std::move(plain_);
    plain_ = {};
    if (compressed && compressed->Size != 0) {
        plan_.Page.Coding = plan_.Compress;
        body = std::move(*compressed);
    }
    PlanMadeResponse(plan_, request_, body.Size);
    Respond(ResponseBody::InMemory(std::move(body)));
}

void Connection::Respond(const ResponseBody& whole) {
    header_ = std::move(plan_.Response->Header);
    status_ = plan_.Response->Status;
    responding_ = true;
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
        const long put = sender_.Send(socket_, headerRest, body_, at, !plan_.KeepOpen);
        if (put < 0 && platform::WouldBlock()) return;
        if (put < 1) break;
        sent_ += static_cast<uint64_t>(put);
        deadline_ = now + kPeerWait;
    }
    if (sent_ == total && plan_.KeepOpen) return NextRequest(now);
    Close(now);
}

// Back to reading, with no more held than a connection that was just accepted.
void Connection::NextRequest(ConnectionClock::time_point now) {
    Log();
    header_ = {};
    body_ = {};
    plan_ = {};
    request_ = {};
    sender_.Reset();
    lineStarted_ = false;
    stage_ = ConnectionStage::ReadingLine;
    deadline_ = now + kKeepAliveIdleWait;
}

// One line for the response just ended, sent whole or not.
void Connection::Log() {
    if (!responding_) return;
    responding_ = false;
    if (sites_.Log() == nullptr) return;
    AccessRecord record;
    record.PeerAddress = peer_;
    record.Time = std::chrono::duration_cast<std::chrono::seconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
    record.RequestLine = request_.Line.Method + " " + request_.Line.Target;
    if (!request_.Line.Version.empty()) record.RequestLine += " " + request_.Line.Version;
    record.Status = status_;
    record.BodyBytes = sent_ > header_.size() ? sent_ - header_.size() : 0;
    record.Referer = request_.Referer;
    record.UserAgent = request_.UserAgent;
    sites_.Log()->Post(AccessLogLine(record));
}

void Connection::Close(ConnectionClock::time_point now) {
    Log();
    platform::ShutdownSending(socket_);
    header_ = {};
    body_ = {};
    plan_ = {};
    sender_.Reset();
    line_ = {};
    pending_ = {};
    plain_ = {};
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
