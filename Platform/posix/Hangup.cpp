#include "Platform/Hangup.h"

#include <signal.h>

#include <atomic>
#include <mutex>

namespace platform {
namespace {

// A signal reaches the process, not an object: this count is the one place
// it can be left for the program to find. Lock-free, so safe in a handler.
std::atomic<unsigned> hangups{0};
static_assert(std::atomic<unsigned>::is_always_lock_free);

extern "C" void OnHangup(int) {
    hangups.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

void CountHangups() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = OnHangup;
        sigemptyset(&action.sa_mask);
        // Interrupted calls go on by themselves.
        action.sa_flags = SA_RESTART;
        sigaction(SIGHUP, &action, nullptr);
    });
}

unsigned HangupCount() {
    return hangups.load(std::memory_order_relaxed);
}

}  // namespace platform
