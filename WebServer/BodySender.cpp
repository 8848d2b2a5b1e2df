#include "WebServer/BodySender.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "Platform/File.h"
#include "Platform/FileSend.h"

long BodySender::Send(platform::Socket socket, std::string_view headerRest,
                      const ResponseBody& body, uint64_t at, bool endFollows) {
    // Every call carries the rest of the response; when the end of the stream
    // follows it at once, the system may hold the last bytes to send them
    // with the end: one packet fewer for a small page.
    const bool moreFollows = endFollows;
    const uint64_t left = body.Size - at;
    if (!body.IsFile()) {
        const char* bytes = body.Memory.Bytes.get() + body.Offset + at;
        if (!headerRest.empty()) {
            return platform::SendTwo(socket, headerRest.data(), headerRest.size(), bytes, left,
                                     moreFollows);
        }
        return platform::Send(socket, bytes, left, moreFollows);
    }
    // The body follows the header in a call of its own.
    if (!headerRest.empty())
        return platform::Send(socket, headerRest.data(), headerRest.size(), true);
    if (!readInstead_ && platform::CanSendFromFile()) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(left, kSendFromFileBytes));
        const long put = platform::SendFromFile(socket, body.File, body.Offset + at, count);
        if (put > 0 || (put < 0 && platform::WouldBlock())) return put;
        readInstead_ = true;
    }
    return SendFromBuffer(socket, body, at, endFollows);
}

long BodySender::SendFromBuffer(platform::Socket socket, const ResponseBody& body, uint64_t at,
                                bool endFollows) {
    if (at < bufferedFrom_ || at >= bufferedFrom_ + buffered_) {
        if (!buffer_) buffer_.reset(new char[kStreamBufferBytes]);
        const size_t count =
            static_cast<size_t>(std::min<uint64_t>(body.Size - at, kStreamBufferBytes));
        const size_t delivered =
            platform::ReadAt(body.File, buffer_.get(), count, body.Offset + at);
        std::memset(buffer_.get() + delivered, 0, count - delivered);
        bufferedFrom_ = at;
        buffered_ = count;
    }
    const size_t skip = static_cast<size_t>(at - bufferedFrom_);
    return platform::Send(socket, buffer_.get() + skip, buffered_ - skip, endFollows);
}

void BodySender::Reset() {
    buffer_.reset();
    bufferedFrom_ = 0;
    buffered_ = 0;
    readInstead_ = false;
}
