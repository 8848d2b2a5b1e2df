#include "WebServer/EventLoop.h"

#include <algorithm>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "Platform/Poller.h"
#include "Platform/Thread.h"
#include "WebServer/Connection.h"
#include "WebServer/Listener.h"
#include "WebServer/PageCache.h"
#include "WebServer/SearchRoute.h"
#include "WebServer/ServerState.h"

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
    Served(platform::Socket socket, Clock::time_point now) : connection(socket, now) {}

    Connection connection;
    bool watched = false;  // by the poller
    platform::Interest interest = platform::Interest::Readable;
    WaitList* list = nullptr;  // the wait it is listed in, if any
    WaitList::iterator listed;
    Clock::time_point listedDeadline;
};

class ConnectionThread {
  public:
    explicit ConnectionThread(platform::Socket listener) : listener_(listener) {}

    bool Ready() const { return poller_.Valid(); }

    [[noreturn]] void Run();

    // From a loading thread: the page for `served`, or none when it failed.
    void Deliver(Served* served, std::unique_ptr<SharedPage> page);

  private:
    int WaitForReady(void** ready, int milliseconds);
    void Accept(Clock::time_point now);
    void Settle(Served* served, Clock::time_point now);
    void Unlist(Served* served);
    void Load(Served* served, Clock::time_point now);
    void ExpireWaits(Clock::time_point now);
    void TakeDeliveries(Clock::time_point now);
    int MillisecondsToWait(Clock::time_point now) const;
    WaitList* ListFor(Waiting waiting);

    const platform::Socket listener_;
    platform::Poller poller_;
    bool accepting_ = false;
    Clock::time_point resumeAccepting_;
    char buffer_[kReceiveSize];
    WaitList firstByte_, peer_, drain_;

    std::mutex deliveriesLock_;
    std::vector<std::pair<Served*, std::unique_ptr<SharedPage>>> deliveries_;
};

// The listener's tag: no connection has this address.
char listenerTag;

void ConnectionThread::Run() {
    void* ready[kEventsPerWait];
    for (;;) {
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
            served->connection.Advance(buffer_, now);
            Settle(served, now);
        }
        TakeDeliveries(now);
        ExpireWaits(now);
    }
}

// Before going to sleep, the loop lets another thread that waits for this
// processor run, and looks again. That thread is often the client, about to
// close a connection or open the next one; a sleep and a wake-up cost more
// than the yield, and under load most of them are saved.
int ConnectionThread::WaitForReady(void** ready, int milliseconds) {
    if (milliseconds != 0) {
        const int count = poller_.Wait(ready, kEventsPerWait, 0);
        if (count != 0) return count;
        std::this_thread::yield();
    }
    return poller_.Wait(ready, kEventsPerWait, milliseconds);
}

void ConnectionThread::Accept(Clock::time_point now) {
    for (int i = 0; i < kAcceptsPerTurn; ++i) {
        const platform::Socket accepted = platform::AcceptNonBlocking(listener_);
        if (accepted == platform::kInvalidSocket) {
            if (platform::WouldBlock() || platform::ConnectionAborted()) return;
            // Out of descriptors or memory: the failure would repeat at once,
            // so the listener rests before the next try.
            poller_.Unwatch(listener_);
            accepting_ = false;
            resumeAccepting_ = now + kAcceptRetryPause;
            return;
        }
        auto* served = new (std::nothrow) Served(accepted, now);
        if (served == nullptr) {
            platform::CloseSocket(accepted);
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
            delete served;
            return;
        case ConnectionStage::Loading:
            return Load(served, now);
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
        Unlist(served);
        list->push_back(served);
        served->list = list;
        served->listed = std::prev(list->end());
        served->listedDeadline = connection.Deadline();
    }
}

// A large page is decompressed on a thread of its own, so that the
// connections on this thread do not wait for it; the result comes back
// through Deliver. When no thread can be started, it is loaded here.
void ConnectionThread::Load(Served* served, Clock::time_point now) {
    Unlist(served);
    if (served->watched) {
        poller_.Unwatch(served->connection.Socket());
        served->watched = false;
    }
    std::string path = served->connection.PathToLoad();
    // The site's search, or the entry's page.
    const bool search = served->connection.LoadingSearch();
    std::string query = served->connection.SearchQuery();
    const auto load = [search, path, query] {
        return search ? SearchPage(*Server.Search, path, query)
                      : LoadPage(*Server.Archive, path, Server.Rules, ServedPages);
    };
    const bool started = platform::StartThread(
        [this, served, load] {
            std::unique_ptr<SharedPage> page;
            try {
                page = std::make_unique<SharedPage>(load());
            } catch (...) {
                page.reset();
            }
            Deliver(served, std::move(page));
        },
        kConnectionStackBytes);
    if (started) return;
    std::unique_ptr<SharedPage> page;
    try {
        page = std::make_unique<SharedPage>(load());
    } catch (...) {
    }
    served->connection.Loaded(page.get(), buffer_, now);
    Settle(served, now);
}

void ConnectionThread::Deliver(Served* served, std::unique_ptr<SharedPage> page) {
    {
        std::lock_guard guard(deliveriesLock_);
        deliveries_.emplace_back(served, std::move(page));
    }
    poller_.Wake();
}

void ConnectionThread::TakeDeliveries(Clock::time_point now) {
    std::vector<std::pair<Served*, std::unique_ptr<SharedPage>>> taken;
    {
        std::lock_guard guard(deliveriesLock_);
        if (deliveries_.empty()) return;
        taken.swap(deliveries_);
    }
    for (auto& [served, page] : taken) {
        served->connection.Loaded(page.get(), buffer_, now);
        Settle(served, now);
    }
}

void ConnectionThread::ExpireWaits(Clock::time_point now) {
    for (WaitList* list : {&firstByte_, &peer_, &drain_}) {
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
    for (const WaitList* list : {&firstByte_, &peer_, &drain_}) {
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

void ServeConnections(platform::Socket listener) {
    if (!platform::MakeNonBlocking(listener)) return;
    // Never freed: the threads run until the process ends, and loading
    // threads may still deliver to them.
    auto* own = new (std::nothrow) ConnectionThread(listener);
    if (own == nullptr || !own->Ready()) return;
    for (unsigned i = 1; i < EventLoopCount(); ++i) {
        auto* other = new (std::nothrow) ConnectionThread(listener);
        if (other == nullptr || !other->Ready() ||
            !platform::StartThread([other] { other->Run(); }, kConnectionStackBytes)) {
            delete other;
            break;  // the threads already running serve every connection
        }
    }
    own->Run();
}
