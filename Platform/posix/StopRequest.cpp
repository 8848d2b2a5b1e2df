#include "Platform/StopRequest.h"

#include <signal.h>

#include <ctime>

namespace platform {
namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

void TakeStopRequests() {
    // Blocked in this thread and in every thread it starts later; taken
    // synchronously by sigtimedwait.
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

bool WaitForStopRequest(int milliseconds) {
    const sigset_t signals = StopSignals();
    const timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000L * 1000};
    return sigtimedwait(&signals, nullptr, &wait) > 0;
}

}  // namespace platform
