// Hands a response's body to a socket, as much as it takes at a time: bytes
// in memory as they lie; a stretch of the archive straight from the file
// (sendfile) where the system offers it, otherwise read piece by piece into
// a buffer of the connection's own. A file that cannot deliver its part (it
// ends early, a read fails) sends zeros in its place, as a page read whole
// always has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "Platform/Socket.h"
#include "WebServer/ResponseBody.h"

// One piece read from the archive for a connection: large enough that a
// piece costs one system call for many packets, small enough that a thousand
// connections streaming at once hold 64 MiB.
inline constexpr size_t kStreamBufferBytes = size_t{64} * 1024;

// The most handed to one sendfile call: it reads from the file on the event
// loop's thread, so it stays within what a loop may read at once
// (kQuickLoadBytes).
inline constexpr size_t kSendFromFileBytes = size_t{256} * 1024;

class BodySender {
  public:
    // Sends what the socket takes of `headerRest` (the part of the header not
    // yet sent; may be empty) followed by `body` from its byte `at`: the count
    // taken from both, or -1 (then platform::WouldBlock() tells whether the
    // socket was only full). With `endFollows` the end of the stream follows
    // the last byte; on a persistent connection it does not, and the last
    // bytes must leave at once.
    long Send(platform::Socket socket, std::string_view headerRest, const ResponseBody& body,
              uint64_t at, bool endFollows = true);

    // Frees the buffer.
    void Reset();

  private:
    long SendFromBuffer(platform::Socket socket, const ResponseBody& body, uint64_t at,
                        bool endFollows);

    std::unique_ptr<char[]> buffer_;
    uint64_t bufferedFrom_ = 0;  // the body's byte at buffer_[0]
    size_t buffered_ = 0;
    // sendfile found the file ended or failing: read instead, which fills in
    // zeros, or lets the socket's own error show.
    bool readInstead_ = false;
};
