#include "Platform/FileSend.h"

#include <signal.h>
#include <sys/sendfile.h>

#include <cerrno>
#include <ctime>

namespace platform {
namespace {

// sendfile has no MSG_NOSIGNAL: a peer that has gone raises SIGPIPE, which
// would end the process. The signal is blocked on the sending thread (once)
// and a pending one taken back after each failed send, so that nothing else
// in the process, and no program it starts, sees a changed disposition.
void BlockBrokenPipeOnThisThread() {
    thread_local const bool blocked = [] {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        return pthread_sigmask(SIG_BLOCK, &pipe, nullptr) == 0;
    }();
    (void)blocked;
}

void TakeBackBrokenPipe() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec now{0, 0};
    const int savedError = errno;
    while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
    }
    errno = savedError;
}

}  // namespace

bool CanSendFromFile() {
    return true;
}

long SendFromFile(Socket socket, FileHandle file, uint64_t offset, size_t count) {
    BlockBrokenPipeOnThisThread();
    for (;;) {
        off_t at = static_cast<off_t>(offset);
        const ssize_t put = sendfile(socket, file, &at, count);
        if (put >= 0) return put;
        if (errno == EPIPE) TakeBackBrokenPipe();
        if (errno != EINTR) return -1;
    }
}

}  // namespace platform
