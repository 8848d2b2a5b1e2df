#include "Platform/Poller.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

short EventsFor(Interest interest) {
    return interest == Interest::Readable ? POLLRDNORM : POLLWRNORM;
}

// A datagram socket bound to the loopback address: Wake sends it a byte, and
// its readiness ends a WSAPoll, which can wait on sockets only.
SOCKET MakeWakeSocket(sockaddr_in& address) {
    const SOCKET wake = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (wake == INVALID_SOCKET) return wake;
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    u_long nonBlocking = 1;
    if (bind(wake, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(wake, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ioctlsocket(wake, FIONBIO, &nonBlocking) != 0) {
        closesocket(wake);
        return INVALID_SOCKET;
    }
    return wake;
}

}  // namespace

// WSAPoll over an array of the watched sockets; the wake-up socket is first.
struct Poller::State {
    sockaddr_in wakeAddress{};
    SOCKET wake = MakeWakeSocket(wakeAddress);
    std::vector<WSAPOLLFD> entries;
    std::vector<void*> tags;
    std::unordered_map<SOCKET, size_t> positions;

    void Remove(Socket socket) {
        const auto found = positions.find(socket);
        if (found == positions.end()) return;
        const size_t at = found->second;
        positions.erase(found);
        if (at + 1 != entries.size()) {
            entries[at] = entries.back();
            tags[at] = tags.back();
            positions[entries[at].fd] = at;
        }
        entries.pop_back();
        tags.pop_back();
    }
};

Poller::Poller() : state_(std::make_unique<State>()) {
    if (state_->wake == INVALID_SOCKET) return;
    WSAPOLLFD entry{};
    entry.fd = state_->wake;
    entry.events = POLLRDNORM;
    state_->entries.push_back(entry);
    state_->tags.push_back(nullptr);
}

Poller::~Poller() {
    if (state_->wake != INVALID_SOCKET) closesocket(state_->wake);
}

bool Poller::Valid() const {
    return state_->wake != INVALID_SOCKET;
}

bool Poller::Watch(Socket socket, Interest interest, void* tag) {
    if (state_->positions.count(socket) != 0) return false;
    WSAPOLLFD entry{};
    entry.fd = socket;
    entry.events = EventsFor(interest);
    state_->positions[socket] = state_->entries.size();
    state_->entries.push_back(entry);
    state_->tags.push_back(tag);
    return true;
}

bool Poller::Change(Socket socket, Interest interest, void* tag) {
    const auto found = state_->positions.find(socket);
    if (found == state_->positions.end()) return false;
    state_->entries[found->second].events = EventsFor(interest);
    state_->tags[found->second] = tag;
    return true;
}

bool Poller::WatchShared(Socket listener, void* tag) {
    // Every poller watching the listener wakes for a connection; the ones
    // that find none waiting are told so by a would-block accept.
    return Watch(listener, Interest::Readable, tag);
}

void Poller::Unwatch(Socket socket) {
    state_->Remove(socket);
}

void Poller::Forget(Socket socket) {
    state_->Remove(socket);
}

int Poller::Wait(void** tags, int capacity, int milliseconds) {
    std::vector<WSAPOLLFD>& entries = state_->entries;
    const int ready = WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), milliseconds);
    if (ready <= 0) return 0;
    int count = 0;
    for (size_t i = 0; i < entries.size() && count < capacity; ++i) {
        if (entries[i].revents == 0) continue;
        if (i == 0) {
            char drained[64];
            while (recv(state_->wake, drained, sizeof drained, 0) > 0) {
            }
            continue;
        }
        tags[count++] = state_->tags[i];
    }
    return count;
}

void Poller::Wake() {
    const char one = 1;
    sendto(state_->wake, &one, 1, 0, reinterpret_cast<const sockaddr*>(&state_->wakeAddress),
           sizeof state_->wakeAddress);
}

}  // namespace platform
