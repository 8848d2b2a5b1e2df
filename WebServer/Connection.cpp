#include "WebServer/Connection.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "Platform/Socket.h"
#include "WebServer/LoadPage.h"
#include "WebServer/RequestLine.h"
#include "WebServer/ServerState.h"

namespace {

constexpr const char* kAnsweredMethod = "GET";

const int kPeerWaitMilliseconds = static_cast<int>(kPeerWait.count());
const int kFirstByteWaitMilliseconds = static_cast<int>(kFirstByteWait.count());

// Receives until the first LF. False when the line is not complete: a silence
// of kFirstByteWait before the first byte or of kPeerWait after it, the peer's
// close, a receive error, or a line over the limit.
bool ReceiveRequestLine(platform::Socket socket, char* buffer, std::string& line) {
    for (bool first = true;; first = false) {
        const int wait = first ? kFirstByteWaitMilliseconds : kPeerWaitMilliseconds;
        if (platform::WaitReadable(socket, wait) != platform::WaitResult::Ready) return false;
        const long received = platform::Receive(socket, buffer, kReceiveSize);
        if (received < 1) return false;
        switch (AppendToRequestLine(line, buffer, static_cast<size_t>(received))) {
            case LineProgress::Complete:
                return true;
            case LineProgress::TooLong:
                return false;
            case LineProgress::Incomplete:
                break;
        }
    }
}

// Hands the header and then the body to the socket in pieces of at most
// kSendSize, each after its own wait; the body is sent from the page itself,
// never copied behind the header. A peer that takes nothing for kPeerWait, or
// a failed send, ends it early.
void SendResponse(platform::Socket socket, const std::string& header, const std::string& body) {
    const std::string* const parts[] = {&header, &body};
    for (const std::string* part : parts) {
        size_t position = 0;
        while (position < part->size()) {
            if (platform::WaitWritable(socket, kPeerWaitMilliseconds) !=
                platform::WaitResult::Ready) {
                return;
            }
            const size_t piece = std::min(part->size() - position, kSendSize);
            const bool moreFollows =
                position + piece < part->size() || (part == &header && !body.empty());
            const long sent = platform::Send(socket, part->data() + position, piece, moreFollows);
            if (sent < 1) return;
            position += static_cast<size_t>(sent);
        }
    }
}

void Serve(platform::Socket socket, char* buffer) {
    std::string line;
    if (!ReceiveRequestLine(socket, buffer, line)) return;
    const RequestLine request = SplitRequestLine(line);
    if (request.Method != kAnsweredMethod) return;
    Page page = LoadPage(SplitTarget(request.Target).Path, Server.Rules);
    SendResponse(socket, ResponseHeader(request.Version, page), page.Body);
}

// Reads and drops what the peer still sends until it closes its side, or the
// drain's time or byte bound is reached.
void Drain(platform::Socket socket, char* buffer) {
    const auto deadline = std::chrono::steady_clock::now() + kDrainTime;
    size_t drained = 0;
    while (drained < kDrainByteLimit) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        if (platform::WaitReadable(socket, static_cast<int>(left.count())) !=
            platform::WaitResult::Ready) {
            return;
        }
        const long received = platform::Receive(socket, buffer, kReceiveSize);
        if (received < 1) return;
        drained += static_cast<size_t>(received);
    }
}

}  // namespace

std::string ResponseHeader(const std::string& version, const Page& page) {
    return version + " 200 OK\r\nContent-Type: " + page.ContentType +
           "\r\nContent-Length: " + std::to_string(page.Body.size()) + "\r\n\r\n";
}

void ConnectionThread(platform::Socket socket) {
    char buffer[kReceiveSize];
    try {
        Serve(socket, buffer);
    } catch (...) {
        // Nothing more is sent; the connection is closed as always.
    }
    platform::ShutdownSending(socket);
    Drain(socket, buffer);
    platform::CloseSocket(socket);
}
