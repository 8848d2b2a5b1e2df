#include "WebServer/Connection.h"

#include <chrono>
#include <optional>
#include <string_view>
#include <utility>

#include "Shared/ReadEntry.h"
#include "WebServer/AcceptEncoding.h"
#include "WebServer/AccessLog.h"
#include "WebServer/AccessLogLine.h"
#include "WebServer/KeepAlive.h"
#include "WebServer/RequestLine.h"
#include "WebServer/ResponseCompression.h"
#include "WebServer/SearchRoute.h"
#include "WebServer/Site.h"

namespace {

constexpr const char* kAnsweredMethod = "GET";
// Answered as GET is, without the body, with --browse-head.
constexpr const char* kHeadMethod = "HEAD";

// Whether a body could go compressed: an entry's text, in memory, neither too
// small to gain nor too large to keep compressed.
bool MayCompress(const BrowseOptions& options, PageKind kind, const std::string& contentType,
                 uint64_t size, bool fromFile) {
    return options.Compress && kind == PageKind::Entry && !fromFile &&
           size >= kSmallestCompressedBody && size <= kLargestCompressedBody &&
           IsCompressibleType(contentType);
}

}  // namespace

Connection::Connection(Site& site, platform::Socket socket, ConnectionClock::time_point now)
    : site_(site), socket_(socket), deadline_(now + kFirstByteWait) {
    if (site_.Log != nullptr) peer_ = platform::PeerAddress(socket_);
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
        Compressed(std::move(body));
        deadline_ = now + kPeerWait;
    } else if (!body) {
        Close(now);
    } else {
        Respond(SharedPage{ResponseBody::InMemory(std::move(*body)), std::move(contentType_),
                           loadingSearch_ ? PageKind::Made : PageKind::Entry, entryToLoad_});
        deadline_ = now + kPeerWait;
    }
    Advance(buffer, now);
}

// Receives until the first LF, or with the options that read header lines,
// the empty line after them. The request ends incomplete on a silence (see
// Expire), the peer's close, a receive error, or a head over the limit.
void Connection::ReadLine(char* buffer, ConnectionClock::time_point now) {
    const bool headerLines = site_.Rules.Options.ReadsHeaderLines();
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
            if (site_.Rules.Options.KeepAlive) pending_.assign(bytes + used, count - used);
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
    return stage_ == ConnectionStage::ReadingLine && site_.Rules.Options.ReadsHeaderLines() &&
           HasRequestLine(line_);
}

void Connection::Answer(ConnectionClock::time_point now) {
    const BrowseOptions& options = site_.Rules.Options;
    if (options.ReadsHeaderLines()) {
        request_ = ParseRequestHead(line_);
    } else {
        request_ = {};
        request_.Line = SplitRequestLine(line_);
    }
    line_ = {};
    const std::string& method = request_.Line.Method;
    if (method != kAnsweredMethod && !(options.Head && method == kHeadMethod)) return Close(now);
    ++answered_;
    keepOpen_ = options.KeepAlive && StaysOpenAfter(request_, answered_);
    if (keepOpen_ && answered_ == 1) platform::SendAtOnce(socket_);
    RequestTarget target = SplitTarget(request_.Line.Target);
    if (std::optional<std::string> type =
            SearchAsked(site_.Search, site_.Archive, target.Path, options)) {
        contentType_ = std::move(*type);
        searchPath_ = std::move(target.Path);
        searchQuery_ = std::move(target.Query);
        loadingSearch_ = true;
        stage_ = ConnectionStage::Loading;
        return;
    }
    PageStart start = StartPage(site_, target.Path);
    if (start.Ready) return Respond(*start.Ready);
    // An answer without a body (HEAD, 304, 416) needs only the entry's
    // length, which the index holds: the body is not made for it.
    // With compression, only the body made and compressed tells which.
    const TItem& entry = site_.Archive.Entries[start.Entry];
    const uint32_t length = entry.UnpackedSize;
    const bool fromFile = length > kQuickLoadBytes && !IsCompressed(entry);
    if (!MayCompress(options, PageKind::Entry, start.ContentType, length, fromFile)) {
        const ResponsePlan plan =
            PlanResponse(request_, {PageKind::Entry, start.ContentType, length, start.Entry},
                         options, site_.Version, keepOpen_);
        if (plan.BodyLength == 0) {
            header_ = plan.Header;
            status_ = plan.Status;
            responding_ = true;
            body_ = {};
            sent_ = 0;
            stage_ = ConnectionStage::Sending;
            return;
        }
    }
    entryToLoad_ = start.Entry;
    contentType_ = std::move(start.ContentType);
    stage_ = ConnectionStage::Loading;
}

// Compressed when the client takes gzip and asks for no range, from the
// compressed cache or, the first time, on the loader pool (see Compressed).
void Connection::Respond(const SharedPage& page, std::optional<SharedBody> gzipped) {
    const BrowseOptions& options = site_.Rules.Options;
    PageFacts facts{page.Kind, page.ContentType, page.Body.Size, page.Entry};
    ResponseBody body = page.Body;
    if (MayCompress(options, page.Kind, page.ContentType, page.Body.Size, page.Body.IsFile())) {
        facts.VariesByCoding = true;
        const bool rangeAsked = options.Ranges && request_.Range;
        if (!rangeAsked && ChooseCoding(request_.AcceptEncoding) == ContentCoding::Gzip) {
            if (!gzipped) gzipped = site_.Compressed.Find(page.Entry);
            if (!gzipped) {
                plain_ = page;
                compressing_ = true;
                stage_ = ConnectionStage::Loading;
                return;
            }
            if (gzipped->Size != 0) {
                body = ResponseBody::InMemory(*gzipped);
                facts.Length = body.Size;
                facts.Coding = ContentCoding::Gzip;
            }
        }
    }
    const ResponsePlan plan = PlanResponse(request_, facts, options, site_.Version, keepOpen_);
    header_ = plan.Header;
    status_ = plan.Status;
    responding_ = true;
    body_ = body.Part(plan.BodyFirst, plan.BodyLength);
    sent_ = 0;
    stage_ = ConnectionStage::Sending;
}

// The gzip form made on the loader pool (empty: it did not shrink), kept for
// the next requests; none when it could not be tried: the body goes plain.
void Connection::Compressed(std::optional<SharedBody> gzipped) {
    if (gzipped) site_.Compressed.Add(plain_.Entry, *gzipped);
    SharedPage page = std::move(plain_);
    plain_ = {};
    Respond(page, gzipped.value_or(SharedBody{}));
}

// Hands the socket as much of the header and the body as it takes, in one
// call while the header is part of it; waits only when a send would block.
void Connection::Send(ConnectionClock::time_point now) {
    const uint64_t total = header_.size() + body_.Size;
    while (sent_ < total) {
        const std::string_view headerRest =
            sent_ < header_.size() ? std::string_view(header_).substr(sent_) : std::string_view();
        const uint64_t at = sent_ < header_.size() ? 0 : sent_ - header_.size();
        const long put = sender_.Send(socket_, headerRest, body_, at, !keepOpen_);
        if (put < 0 && platform::WouldBlock()) return;
        if (put < 1) break;
        sent_ += static_cast<uint64_t>(put);
        deadline_ = now + kPeerWait;
    }
    if (sent_ == total && keepOpen_) return NextRequest(now);
    Close(now);
}

// Back to reading, with no more held than a connection that was just accepted.
void Connection::NextRequest(ConnectionClock::time_point now) {
    Log();
    header_ = {};
    body_ = {};
    sender_.Reset();
    request_ = {};
    lineStarted_ = false;
    keepOpen_ = false;
    stage_ = ConnectionStage::ReadingLine;
    deadline_ = now + kKeepAliveIdleWait;
}

// One line for the response just ended, sent whole or not.
void Connection::Log() {
    if (!responding_) return;
    responding_ = false;
    if (site_.Log == nullptr) return;
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
    site_.Log->Post(AccessLogLine(record));
}

void Connection::Close(ConnectionClock::time_point now) {
    Log();
    platform::ShutdownSending(socket_);
    header_ = {};
    body_ = {};
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
