// Sending a file's bytes to a socket without copying them through the
// program, where the system offers it (Linux: sendfile). Elsewhere the caller
// reads the file and sends what it read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/File.h"
#include "Platform/Socket.h"

namespace platform {

// Whether SendFromFile works on this system.
bool CanSendFromFile();

// Sends up to `count` bytes of `file` from `offset` on the socket, leaving the
// file's position alone: the count taken; 0 when the file holds nothing at
// `offset` (it ends there, or is shorter than it was); -1 on an error, and
// then WouldBlock() tells whether the socket was only full. Never raises
// SIGPIPE. Where CanSendFromFile() is false, always -1.
long SendFromFile(Socket socket, FileHandle file, uint64_t offset, size_t count);

}  // namespace platform
