#include "tests/reliability/PeerCrowd.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "WebServer/Connection.h"
#include "tests/support/Ipv4Address.h"

namespace reliability {
namespace {

using Clock = std::chrono::steady_clock;

// How long one pass waits at most, so that timed steps start on time.
constexpr int kPassMilliseconds = 20;
constexpr size_t kReadPiece = 64 * 1024;
// The server's wait for a first byte, less a margin for a loaded machine.
constexpr std::chrono::milliseconds kSilentAtLeast =
    kFirstByteWait - std::chrono::milliseconds(500);

enum class Stage { Connecting, Sending, Reading, Done };

struct Live {
    size_t plan = 0;
    int socket = -1;
    Stage stage = Stage::Connecting;
    size_t sent = 0;
    Clock::time_point start;
    Clock::time_point next;  // when a timed step may run
};

int StartConnect(uint16_t port, const PeerPlan& plan) {
    const int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (client < 0) return -1;
    if (plan.kind == PeerKind::SlowReader || plan.kind == PeerKind::Resetting) {
        setsockopt(client, SOL_SOCKET, SO_RCVBUF, &kSmallReceiveBuffer, sizeof kSmallReceiveBuffer);
    }
    sockaddr_in address = testing_support::Ipv4Address(INADDR_LOOPBACK, port);
    if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        close(client);
        return -1;
    }
    return client;
}

void Reset(int socket) {
    const linger immediate{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
}

class Crowd {
  public:
    Crowd(uint16_t port, const std::vector<PeerPlan>& plans, const CrowdOptions& options)
        : port_(port), plans_(plans), options_(options), outcomes_(plans.size()) {}

    std::vector<PeerOutcome> Run(CrowdFigures& figures) {
        const auto start = Clock::now();
        const auto deadline = start + options_.limit;
        while ((nextPlan_ < plans_.size() || !live_.empty()) && Clock::now() < deadline) {
            Launch(start);
            Pass();
            figures.peakOpen = std::max(figures.peakOpen, connectedOpen_);
        }
        for (Live& peer : live_) {
            outcomes_[peer.plan].timedOut = true;
            Finish(peer);
        }
        live_.clear();
        figures.started = nextPlan_;
        figures.elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return std::move(outcomes_);
    }

  private:
    void Launch(Clock::time_point start) {
        while (live_.size() < options_.atOnce && nextPlan_ < plans_.size()) {
            if (nextPlan_ >= options_.atOnce) {
                const auto due = start + options_.spreadOver * nextPlan_ / plans_.size();
                if (Clock::now() < due) return;
            }
            const size_t index = nextPlan_++;
            Live peer;
            peer.plan = index;
            peer.start = Clock::now();
            peer.socket = StartConnect(port_, plans_[index]);
            if (peer.socket < 0) continue;  // never connected: the outcome says so
            live_.push_back(peer);
        }
    }

    short EventsFor(const Live& peer, Clock::time_point now) const {
        const PeerPlan& plan = plans_[peer.plan];
        switch (peer.stage) {
            case Stage::Connecting:
                return POLLOUT;
            case Stage::Sending:
                return now >= peer.next ? POLLOUT : 0;
            case Stage::Reading:
                return plan.kind != PeerKind::SlowReader || now >= peer.next ? POLLIN : 0;
            case Stage::Done:
                break;
        }
        return 0;
    }

    void Pass() {
        const auto now = Clock::now();
        std::vector<pollfd> entries(live_.size());
        for (size_t i = 0; i < live_.size(); ++i) {
            const short events = EventsFor(live_[i], now);
            // A negative descriptor is left out of the wait.
            entries[i] = {events != 0 ? live_[i].socket : -1, events, 0};
        }
        if (poll(entries.data(), entries.size(), kPassMilliseconds) < 0 && errno != EINTR) return;
        for (size_t i = 0; i < live_.size(); ++i) {
            if (entries[i].revents != 0) Step(live_[i], entries[i].revents);
        }
        std::erase_if(live_, [](const Live& peer) { return peer.stage == Stage::Done; });
    }

    void Step(Live& peer, short revents) {
        const PeerPlan& plan = plans_[peer.plan];
        PeerOutcome& outcome = outcomes_[peer.plan];
        switch (peer.stage) {
            case Stage::Connecting: {
                int error = 0;
                socklen_t length = sizeof error;
                getsockopt(peer.socket, SOL_SOCKET, SO_ERROR, &error, &length);
                if (error != 0) return Finish(peer);
                outcome.connected = true;
                ++connectedOpen_;
                peer.stage = plan.kind == PeerKind::Silent ? Stage::Reading : Stage::Sending;
                peer.next = Clock::now();
                return;
            }
            case Stage::Sending:
                return Send(peer, plan, outcome);
            case Stage::Reading:
                return Receive(peer, plan, outcome, revents);
            case Stage::Done:
                return;
        }
    }

    void Send(Live& peer, const PeerPlan& plan, PeerOutcome& outcome) {
        size_t piece = plan.request.size() - peer.sent;
        const bool trickling = plan.kind == PeerKind::SlowWriter && peer.sent >= plan.sentAtOnce;
        if (plan.kind == PeerKind::SlowWriter) {
            piece = trickling ? 1 : plan.sentAtOnce - peer.sent;
        }
        const ssize_t put =
            send(peer.socket, plan.request.data() + peer.sent, piece, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put < 0) {
            if (errno == EAGAIN || errno == EINTR) return;
            outcome.reset = errno == ECONNRESET || errno == EPIPE;
            return Finish(peer);
        }
        peer.sent += static_cast<size_t>(put);
        if (peer.sent == plan.request.size()) {
            peer.stage = Stage::Reading;
            if (plan.kind == PeerKind::SlowReader) peer.next = Clock::now() + kSlowReaderFirstRead;
        } else if (plan.kind == PeerKind::SlowWriter && peer.sent >= plan.sentAtOnce) {
            peer.next = Clock::now() + kSlowWriterInterval;
        }
    }

    void Receive(Live& peer, const PeerPlan& plan, PeerOutcome& outcome, short revents) {
        char buffer[kReadPiece];
        const size_t want = plan.kind == PeerKind::SlowReader ? kSlowReaderPiece : kReadPiece;
        const ssize_t got = recv(peer.socket, buffer, want, MSG_DONTWAIT);
        if (got == 0) return Finish(peer);
        if (got < 0) {
            if ((errno == EAGAIN || errno == EINTR) && (revents & (POLLERR | POLLHUP)) == 0) return;
            outcome.reset = errno == ECONNRESET;
            return Finish(peer);
        }
        outcome.received.append(buffer, static_cast<size_t>(got));
        if (plan.kind == PeerKind::SlowReader) peer.next = Clock::now() + kSlowReaderInterval;
        if (plan.kind == PeerKind::Resetting) {
            Reset(peer.socket);
            Finish(peer);
        }
    }

    void Finish(Live& peer) {
        if (peer.stage == Stage::Done) return;
        if (outcomes_[peer.plan].connected) --connectedOpen_;
        close(peer.socket);
        outcomes_[peer.plan].elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - peer.start);
        peer.stage = Stage::Done;
    }

    const uint16_t port_;
    const std::vector<PeerPlan>& plans_;
    const CrowdOptions options_;
    std::vector<PeerOutcome> outcomes_;
    std::vector<Live> live_;
    size_t nextPlan_ = 0;
    size_t connectedOpen_ = 0;
};

}  // namespace

std::vector<PeerOutcome> RunCrowd(uint16_t port, const std::vector<PeerPlan>& plans,
                                  const CrowdOptions& options, CrowdFigures& figures) {
    return Crowd(port, plans, options).Run(figures);
}

const char* KindName(PeerKind kind) {
    switch (kind) {
        case PeerKind::Good:
            return "good";
        case PeerKind::SlowReader:
            return "slow reader";
        case PeerKind::SlowWriter:
            return "slow writer";
        case PeerKind::Resetting:
            return "resetting";
        case PeerKind::Silent:
            return "silent";
    }
    return "?";
}

std::string Judge(const PeerPlan& plan, const PeerOutcome& outcome) {
    if (!outcome.connected) return "never connected";
    if (outcome.timedOut) return "still open when the test's bound ran out";
    const std::string got = std::to_string(outcome.received.size()) + " bytes";
    switch (plan.kind) {
        case PeerKind::Good:
        case PeerKind::SlowReader:
        case PeerKind::SlowWriter:
            if (outcome.reset) return "reset after " + got;
            if (outcome.received != plan.expected) {
                return got + " instead of the " + std::to_string(plan.expected.size()) +
                       " expected" +
                       (plan.expected.starts_with(outcome.received) ? " (a true prefix)" : "");
            }
            return {};
        case PeerKind::Resetting:
            if (!plan.expected.starts_with(outcome.received)) return got + " not from the response";
            return {};
        case PeerKind::Silent:
            if (!outcome.received.empty()) return got + " sent to a peer that asked nothing";
            if (outcome.reset) return "reset instead of closed";
            if (outcome.elapsed < kSilentAtLeast) {
                return "closed after " + std::to_string(outcome.elapsed.count()) + " ms";
            }
            return {};
    }
    return "unknown kind";
}

int CountEntries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}

uint64_t RaiseOwnDescriptorLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_cur;
}

}  // namespace reliability
