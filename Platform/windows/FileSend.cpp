#include "Platform/FileSend.h"

namespace platform {

// TransmitFile does not suit non-blocking sockets served by a poller: callers
// read the file and send what they read instead.
bool CanSendFromFile() {
    return false;
}

long SendFromFile(Socket /*socket*/, FileHandle /*file*/, uint64_t /*offset*/, size_t /*count*/) {
    return -1;
}

}  // namespace platform
