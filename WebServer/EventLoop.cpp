#include "WebServer/EventLoop.h"

#include <algorithm>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Platform/Poller.h"
#include "WebServer/Connection.h"
#include "WebServer/KeepAlive.h"
#include "WebServer/Listener.h"
#include "WebServer/LoaderPool.h"
#include "WebServer/LoopWait.h"
#include "WebServer/PlanBody.h"
#include "WebServer/ServedSites.h"
#include "WebServer/Site.h"

namespace {

using Clock = ConnectionClock;

// Connections accepted in one turn before the others get theirs.
constexpr int kAcceptsPerTurn = 64;
constexpr int kEventsPerWait = 256;
// Bounds one wait so that its milliseconds fit an int: an hour.
constexpr long long kLongestWaitMilliseconds = 60LL * 60 * 1000;

struct Served;

// Connections waiting with the same bound, oldest first. Every wait of a kind
// lasts as long, so appending keeps them in the order they run out.
using WaitList = std::list<Served*>;

// A connection with what its thread keeps about it.
struct Served {
    Served(const ServedSites& sites, platform::Socket socket, Clock::time_point now)
        : connection(sites, socket, now) {}

    Connection connection;
    bool watched = false;  // by the poller
    platform::Interest interest = platform::Interest::Readable;
    WaitList* list = nullptr;  // the wait it is listed in, if any
    WaitList::iterator listed;
    Clock::time_point listedDeadline;
};

class ConnectionThread {
  public:
    ConnectionThread(platform::Socket listener, const ServedSites& sites, StopSignal& stop)
        : listener_(listener), sites_(sites), stop_(stop) {
        stop_.Notify(poller_);
    }
    ~ConnectionThread();
    ConnectionThread(const ConnectionThread&) = delete;
    ConnectionThread& operator=(const ConnectionThread&) = delete;

    bool Ready() const { return poller_.Valid(); }

    // Serves until a stop is requested.
    void Run();

    // From any thread: the body made for `served`, or none when that failed.
    void Deliver(Served* served, std::optional<SharedBody> body);

  private:
    using Delivery = std::pair<Served*, std::optional<SharedBody>>;

    int WaitForReady(void** ready, int milliseconds);
    void Accept(Clock::time_point now);
    void Settle(Served* served, Clock::time_point now);
    void Unlist(Served* served);
    void Load(Served* served);
    bool CloseIdlest();
    void ExpireWaits(Clock::time_point now);
    void TakeDeliveries(Clock::time_point now);
    int MillisecondsToWait(Clock::time_point now) const;
    WaitList* ListFor(Waiting waiting);

    const platform::Socket listener_;
    const ServedSites& sites_;
    StopSignal& stop_;
    platform::Poller poller_;
    bool accepting_ = false;
    Clock::time_point resumeAccepting_;
    char buffer_[kReceiveSize];
    WaitList firstByte_, idle_, peer_, drain_;
    // Every connection this loop holds, to close them all when it ends.
    std::unordered_set<Served*> served_;

    std::mutex deliveriesLock_;
    std::vector<Delivery> deliveries_;
};

ConnectionThread::~ConnectionThread() {
    stop_.Forget(poller_);
    for (Served* served : served_) {
        platform::CloseSocket(served->connection.Socket());
        delete served;
    }
}

// The listener's tag: no connection has this address.
char listenerTag;

void ConnectionThread::Run() {
    void* ready[kEventsPerWait];
    while (!stop_.Requested()) {
        auto now = Clock::now();
        if (!accepting_ && now >= resumeAccepting_) {
            accepting_ = poller_.WatchShared(listener_, &listenerTag);
            if (!accepting_) resumeAccepting_ = now + kAcceptRetryPause;
        }
        const int count = WaitForReady(ready, MillisecondsToWait(now));
        now = Clock::now();
        for (int i = 0; i < count; ++i) {
            if (ready[i] == &listenerTag) {
                Accept(now);
                continue;
            }
            auto* served = static_cast<Served*>(ready[i]);
            // A closed connection's socket can still be reported (see
            // Poller::Forget); its tag is then unknown, or, if reused, that of a
            // live connection, for which a wake-up without data is harmless.
            if (!served_.contains(served) || !served->watched) continue;
            served->connection.Advance(buffer_, now);
            Settle(served, now);
        }
        TakeDeliveries(now);
        ExpireWaits(now);
    }
    if (accepting_) poller_.Unwatch(listener_);
}

// A body delivered, or the stop requested, since this turn took the
// deliveries and looked at the stop ends the wait: each is made before its
// wake-up is sent, and the wait's first look may have taken that wake-up.
int ConnectionThread::WaitForReady(void** ready, int milliseconds) {
    return ::WaitForReady(poller_, ready, kEventsPerWait, milliseconds, [this] {
        if (stop_.Requested()) return true;
        std::lock_guard guard(deliveriesLock_);
        return !deliveries_.empty();
    });
}

void ConnectionThread::Accept(Clock::time_point now) {
    for (int i = 0; i < kAcceptsPerTurn; ++i) {
        const platform::Socket accepted = platform::AcceptNonBlocking(listener_);
        if (accepted == platform::kInvalidSocket) {
            if (platform::WouldBlock() || platform::ConnectionAborted()) return;
            // Out of descriptors or memory. The system says so before it
            // looks for a peer, so the failure may come with none waiting:
            // another loop took it, or this turn took the last. Then nothing
            // is closed.
            if (platform::WaitReadable(listener_, 0) != platform::WaitResult::Ready) return;
            // Idle persistent connections make room for the new peer, the
            // idlest first ...
            if (CloseIdlest()) continue;
            // ... and without any, the failure would repeat at once, so the
            // listener rests before the next try.
            poller_.Unwatch(listener_);
            accepting_ = false;
            resumeAccepting_ = now + kAcceptRetryPause;
            return;
        }
        auto* served = new (std::nothrow) Served(sites_, accepted, now);
        if (served == nullptr) {
            platform::CloseSocket(accepted);
            continue;
        }
        try {
            served_.insert(served);
        } catch (...) {
            platform::CloseSocket(accepted);
            delete served;
            continue;
        }
        // The request is often there already: reading at once saves a wait.
        served->connection.Advance(buffer_, now);
        Settle(served, now);
    }
}

WaitList* ConnectionThread::ListFor(Waiting waiting) {
    switch (waiting) {
        case Waiting::FirstByte:
            return &firstByte_;
        case Waiting::Idle:
            return &idle_;
        case Waiting::Peer:
            return &peer_;
        case Waiting::Drain:
            return &drain_;
        case Waiting::Nothing:
            break;
    }
    return nullptr;
}

void ConnectionThread::Unlist(Served* served) {
    if (served->list == nullptr) return;
    served->list->erase(served->listed);
    served->list = nullptr;
}

// After a step: closes a finished connection, hands a slow page to a loading
// thread, or waits for the socket with the connection's bound.
void ConnectionThread::Settle(Served* served, Clock::time_point now) {
    Connection& connection = served->connection;
    switch (connection.Stage()) {
        case ConnectionStage::Done:
            Unlist(served);
            if (served->watched) poller_.Forget(connection.Socket());
            platform::CloseSocket(connection.Socket());
            served_.erase(served);
            delete served;
            return;
        case ConnectionStage::Loading:
            return Load(served);
        default:
            break;
    }
    const platform::Interest interest = connection.Stage() == ConnectionStage::Sending
                                            ? platform::Interest::Writable
                                            : platform::Interest::Readable;
    if (!served->watched || served->interest != interest) {
        const bool ok = served->watched ? poller_.Change(connection.Socket(), interest, served)
                                        : poller_.Watch(connection.Socket(), interest, served);
        if (!ok) {
            // It cannot be waited for; end it now rather than leave it hanging.
            connection.Abandon();
            return Settle(served, now);
        }
        served->watched = true;
        served->interest = interest;
    }
    WaitList* list = ListFor(connection.WaitingFor());
    if (list != served->list || connection.Deadline() != served->listedDeadline) {
        // Moved to the end, its node kept: a request on a persistent
        // connection costs no allocation here.
        if (served->list != nullptr) {
            list->splice(list->end(), *served->list, served->listed);
        } else {
            list->push_back(served);
            served->listed = std::prev(list->end());
        }
        served->list = list;
        served->listedDeadline = connection.Deadline();
    }
}

// A slow body is made on the loader pool, so that the connections on this
// thread do not wait for it; it comes back through Deliver. The connection has
// no wait meanwhile: the peer has nothing to take yet.
void ConnectionThread::Load(Served* served) {
    Unlist(served);
    if (served->watched) {
        poller_.Unwatch(served->connection.Socket());
        served->watched = false;
    }
    const Connection& connection = served->connection;
    auto deliver = [this, served](std::optional<SharedBody> body) {
        Deliver(served, std::move(body));
    };
    if (connection.Compressing())
        return MakeCompressedBody(*connection.Plan().Where, connection.BodyToCompress(),
                                  connection.Plan().Compress, deliver);
    MakeBody(connection.Plan(), deliver);
}

// Closes up to kIdleClosedForRoom of this loop's idle persistent connections,
// the idlest first; false when it has none.
bool ConnectionThread::CloseIdlest() {
    if (idle_.empty()) return false;
    for (unsigned i = 0; i < kIdleClosedForRoom && !idle_.empty(); ++i) {
        Served* served = idle_.front();
        Unlist(served);
        served->connection.Abandon();
        Settle(served, Clock::now());
    }
    return true;
}

void ConnectionThread::Deliver(Served* served, std::optional<SharedBody> body) {
    {
        std::lock_guard guard(deliveriesLock_);
        deliveries_.emplace_back(served, std::move(body));
    }
    poller_.Wake();
}

void ConnectionThread::TakeDeliveries(Clock::time_point now) {
    std::vector<Delivery> taken;
    {
        std::lock_guard guard(deliveriesLock_);
        if (deliveries_.empty()) return;
        taken.swap(deliveries_);
    }
    for (auto& [served, body] : taken) {
        served->connection.Loaded(std::move(body), buffer_, now);
        Settle(served, now);
    }
}

void ConnectionThread::ExpireWaits(Clock::time_point now) {
    for (WaitList* list : {&firstByte_, &idle_, &peer_, &drain_}) {
        while (!list->empty() && list->front()->listedDeadline <= now) {
            Served* served = list->front();
            Unlist(served);
            served->connection.Expire(buffer_, now);
            Settle(served, now);
        }
    }
}

int ConnectionThread::MillisecondsToWait(Clock::time_point now) const {
    Clock::time_point next = Clock::time_point::max();
    for (const WaitList* list : {&firstByte_, &idle_, &peer_, &drain_}) {
        if (!list->empty()) next = std::min(next, list->front()->listedDeadline);
    }
    if (!accepting_) next = std::min(next, resumeAccepting_);
    if (next == Clock::time_point::max()) return -1;
    if (next <= now) return 0;
    // Rounded up, so that a wait never ends just before its deadline.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - now);
    return static_cast<int>(std::min<long long>(left.count(), kLongestWaitMilliseconds));
}

// One loop per processor. A single loop fell behind on pages of 100 KB and
// more: while the client had taken its processor, every connection waited
// for it and the other processor had nothing to run.
unsigned EventLoopCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

void ServeConnections(platform::Socket listener, const ServedSites& sites, LoaderPool& loaders,
                      StopSignal& stop, const std::function<void()>& stopBodies) {
    if (!platform::MakeNonBlocking(listener)) return;
    std::vector<std::unique_ptr<ConnectionThread>> loops;
    std::vector<std::thread> threads;
    auto makeLoop = [&]() -> ConnectionThread* {
        auto loop = std::make_unique<ConnectionThread>(listener, sites, stop);
        if (!loop->Ready()) return nullptr;
        loops.push_back(std::move(loop));
        return loops.back().get();
    };
    try {
        if (makeLoop() == nullptr) return;
        for (unsigned i = 1; i < EventLoopCount(); ++i) {
            ConnectionThread* other = makeLoop();
            if (other == nullptr) break;
            threads.emplace_back([other] { other->Run(); });
        }
    } catch (...) {
        // The loops already made serve every connection.
    }
    if (loops.empty()) return;
    if (threads.size() + 1 < loops.size()) loops.pop_back();  // made, but no thread runs it
    loops.front()->Run();
    for (std::thread& thread : threads) thread.join();
    // Loaders may still post to the loops: they end first, and nothing
    // waiting for a body may be answered once the loops go.
    loaders.Stop();
    stopBodies();
}
