#include "Platform/Poller.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

// Level-triggered: a socket stays reported while it is ready, so its owner may
// stop short of a would-block without losing the readiness.
uint32_t EventsFor(Interest interest) {
    return interest == Interest::Readable ? EPOLLIN | EPOLLRDHUP : EPOLLOUT;
}

}  // namespace

struct Poller::State {
    int poller = epoll_create1(EPOLL_CLOEXEC);
    int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

Poller::Poller() : state_(std::make_unique<State>()) {
    if (state_->poller < 0 || state_->wake < 0) return;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.ptr = nullptr;  // the wake-up: never a socket's tag
    if (epoll_ctl(state_->poller, EPOLL_CTL_ADD, state_->wake, &event) != 0) {
        close(state_->wake);
        state_->wake = -1;
    }
}

Poller::~Poller() {
    if (state_->wake >= 0) close(state_->wake);
    if (state_->poller >= 0) close(state_->poller);
}

bool Poller::Valid() const {
    return state_->poller >= 0 && state_->wake >= 0;
}

bool Poller::Watch(Socket socket, Interest interest, void* tag) {
    epoll_event event{};
    event.events = EventsFor(interest);
    event.data.ptr = tag;
    return epoll_ctl(state_->poller, EPOLL_CTL_ADD, socket, &event) == 0;
}

bool Poller::Change(Socket socket, Interest interest, void* tag) {
    epoll_event event{};
    event.events = EventsFor(interest);
    event.data.ptr = tag;
    return epoll_ctl(state_->poller, EPOLL_CTL_MOD, socket, &event) == 0;
}

bool Poller::WatchShared(Socket listener, void* tag) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLEXCLUSIVE;
    event.data.ptr = tag;
    return epoll_ctl(state_->poller, EPOLL_CTL_ADD, listener, &event) == 0;
}

void Poller::Unwatch(Socket socket) {
    epoll_event unused{};
    epoll_ctl(state_->poller, EPOLL_CTL_DEL, socket, &unused);
}

// Closing the socket takes it out of the epoll set, so nothing is asked of
// the system here: a removal would cost a system call per connection, an
// eighth of a small request's. Until a child process that another thread forks
// has exec'd, it holds a copy of the descriptor and epoll may still report
// the closed socket under its old tag; the caller must therefore check a
// tag against what it still watches before using it.
void Poller::Forget(Socket /*socket*/) {}

int Poller::Wait(void** tags, int capacity, int milliseconds) {
    constexpr int kMostEvents = 256;
    epoll_event events[kMostEvents];
    const int asked = capacity < kMostEvents ? capacity : kMostEvents;
    const int ready = epoll_wait(state_->poller, events, asked, milliseconds);
    if (ready <= 0) return 0;
    int count = 0;
    for (int i = 0; i < ready; ++i) {
        if (events[i].data.ptr == nullptr) {
            uint64_t wakes = 0;
            [[maybe_unused]] const ssize_t got = read(state_->wake, &wakes, sizeof wakes);
            continue;
        }
        tags[count++] = events[i].data.ptr;
    }
    return count;
}

void Poller::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = write(state_->wake, &one, sizeof one);
}

}  // namespace platform
