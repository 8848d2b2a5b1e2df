#include "WebServer/LargeBodies.h"

#include <functional>
#include <limits>
#include <list>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Shared/ReadEntry.h"
#include "WebServer/BodyBudget.h"

// What the bodies share with LargeBodies: the budget, who waits for which
// body, and the bodies made.
struct LargeBodies::State {
    State(size_t budgetBytes, PageCache& cache) : budget(budgetBytes), cache(cache) {}

    mutable std::mutex lock;
    BodyBudget budget;
    // The server's; it outlives the store.
    PageCache& cache;
    // Set by Stop: nothing starts or waits from then on.
    bool stopped = false;
    // The archives whose sites are served: only their bodies are kept.
    std::unordered_set<uint32_t> open;
    // Decompressions under way or waiting for room: the archive read, held
    // until the body is made, and who wants it.
    struct Making {
        std::shared_ptr<const LoadedArchive> archive;
        std::vector<Delivery> waiting;
    };
    std::unordered_map<BodyKey, Making> making;
    // Bodies made, while anyone holds them.
    struct Live {
        std::weak_ptr<const char[]> bytes;
        size_t size = 0;
    };
    std::unordered_map<BodyKey, Live> live;
    // Bodies kept after their last reader while the budget has room, most
    // recently asked for first, so that a page asked for over and over is
    // made once. They are let go, oldest first, when a request needs room.
    struct Kept {
        BodyKey key;
        std::shared_ptr<const char[]> bytes;
        size_t size;
    };
    std::list<Kept> kept;
    // Starts a decompression that got its room; cleared when the store stops.
    std::function<void(BodyKey, const std::shared_ptr<const LoadedArchive>&)> start;

    // Makes body `key` the most recently asked for of the kept bodies.
    void Touch(BodyKey key) {
        for (auto at = kept.begin(); at != kept.end(); ++at) {
            if (at->key != key) continue;
            kept.splice(kept.begin(), kept, at);
            return;
        }
    }

    // What freeing room for the first waiting body comes to, for once the
    // lock is let go (the last hold's release takes it): the kept bodies
    // taken out, oldest first, and, when they are not enough, how many more
    // bytes of bodies made here the page cache must let go of. The cache is
    // asked once per body that comes first in the queue (`newFirst`): what
    // it let go of may still be held by connections, which give it back later.
    struct Room {
        std::vector<std::shared_ptr<const char[]>> dropped;
        std::unordered_set<BodyKey> droppedKeys;
        size_t stillNeeded = 0;
        std::unordered_set<BodyKey> madeHere;  // when stillNeeded
    };

    Room MakeRoom(bool newFirst) {
        Room room;
        size_t needed = budget.RoomNeeded();
        while (needed > 0 && !kept.empty()) {
            needed -= std::min(needed, kept.back().size);
            room.droppedKeys.insert(kept.back().key);
            room.dropped.push_back(std::move(kept.back().bytes));
            kept.pop_back();
        }
        room.stillNeeded = newFirst ? needed : 0;
        if (room.stillNeeded > 0) {
            for (const auto& [key, body] : live) room.madeHere.insert(key);
        }
        return room;
    }

    // The decompressions a change of the budget lets start, with what each
    // reads.
    using Ready = std::vector<std::pair<BodyKey, std::shared_ptr<const LoadedArchive>>>;

    // What a change of the budget leads to, for once the lock is let go.
    struct Outcome {
        Ready ready;
        Room room;
    };

    // Gives `bytes` back: the waiting bodies that now fit are charged, and
    // room is made for the first that does not.
    Outcome Release(size_t bytes) {
        Outcome outcome;
        for (BodyKey key : budget.Release(bytes)) {
            if (const auto found = making.find(key); found != making.end()) {
                outcome.ready.emplace_back(key, found->second.archive);
            }
        }
        outcome.room = MakeRoom(!outcome.ready.empty());
        return outcome;
    }

    // Takes the wants of body `key` out: it is made, or will not be.
    std::vector<Delivery> TakeWaiting(BodyKey key) {
        std::vector<Delivery> waiting;
        if (const auto found = making.find(key); found != making.end()) {
            waiting = std::move(found->second.waiting);
            making.erase(found);
        }
        return waiting;
    }
};

namespace {

constexpr size_t kEverything = std::numeric_limits<size_t>::max();

// Gives a body's bytes back to the budget when its last holder lets go.
// It holds the budget weakly: a body's control block outlives its bytes while
// the budget's own record of live bodies still refers to it, and a strong
// hold there would keep the budget and that record alive for ever.
struct ReturnToBudget {
    std::weak_ptr<LargeBodies::State> state;
    size_t bytes;

    void operator()(const char* bytesHeld) const;
};

// Bodies the cache keeps count against the budget too: a request that waits
// for room comes before them, but only as many go as free the room it needs,
// those kept here first.
void LetGoForRoom(PageCache& cache, LargeBodies::State::Room room) {
    if (!room.droppedKeys.empty()) {
        cache.TakeOldest([&](BodyKey key) { return room.droppedKeys.contains(key); }, kEverything);
    }
    if (room.stillNeeded > 0) {
        cache.TakeOldest([&](BodyKey key) { return room.madeHere.contains(key); },
                         room.stillNeeded);
    }
    // The kept holds go last, here: each may start a waiting decompression.
}

// Starts what a change of the budget let start, and frees the room it asked.
void Follow(
    LargeBodies::State& state, LargeBodies::State::Outcome outcome,
    const std::function<void(BodyKey, const std::shared_ptr<const LoadedArchive>&)>& start) {
    for (const auto& [key, archive] : outcome.ready) start(key, archive);
    LetGoForRoom(state.cache, std::move(outcome.room));
}

}  // namespace

size_t DecompressionCost(const EntryView& entry) {
    return size_t{entry.UnpackedSize} + entry.PackedSize;
}

LargeBodies::LargeBodies(PageCache& cache, LoaderPool& pool, size_t budgetBytes)
    : cache_(cache), pool_(pool), state_(std::make_shared<State>(budgetBytes, cache)) {
    state_->start = [this](BodyKey key, const std::shared_ptr<const LoadedArchive>& archive) {
        Start(key, archive);
    };
}

LargeBodies::~LargeBodies() {
    Stop();
}

void LargeBodies::Stop() {
    // Taken out under the lock, answered and dropped outside it: what they
    // hold may be the last hold on a body, whose release takes the lock.
    std::unordered_map<BodyKey, State::Making> making;
    std::list<State::Kept> kept;
    {
        std::lock_guard guard(state_->lock);
        state_->stopped = true;
        state_->start = nullptr;
        making.swap(state_->making);
        state_->budget.ForgetWaits();
        kept.swap(state_->kept);
    }
    for (const auto& [key, wanted] : making) {
        for (const Delivery& deliver : wanted.waiting) deliver(std::nullopt);
    }
}

void LargeBodies::Open(uint32_t archive) {
    std::lock_guard guard(state_->lock);
    state_->open.insert(archive);
}

void LargeBodies::Close(uint32_t archive) {
    // Let go outside the lock, the kept holds last: each may start a waiting
    // decompression. A decompression of the archive still under way ends as
    // usual; its body is not kept.
    std::vector<std::shared_ptr<const char[]>> dropped;
    std::unordered_set<BodyKey> made;
    {
        std::lock_guard guard(state_->lock);
        state_->open.erase(archive);
        for (auto at = state_->kept.begin(); at != state_->kept.end();) {
            if (ArchiveOfKey(at->key) != archive) {
                ++at;
                continue;
            }
            dropped.push_back(std::move(at->bytes));
            at = state_->kept.erase(at);
        }
        std::erase_if(state_->live, [&](const auto& body) {
            if (ArchiveOfKey(body.first) != archive) return false;
            made.insert(body.first);
            return true;
        });
    }
    if (!made.empty()) {
        cache_.TakeOldest([&](BodyKey key) { return made.contains(key); }, kEverything);
    }
}

std::optional<SharedBody> LargeBodies::Held(BodyKey key) {
    if (auto cached = cache_.Find(key)) return cached;
    std::shared_ptr<const char[]> bytes;
    size_t size = 0;
    {
        std::lock_guard guard(state_->lock);
        const auto found = state_->live.find(key);
        if (found == state_->live.end()) return std::nullopt;
        bytes = found->second.bytes.lock();
        size = found->second.size;
        if (!bytes) state_->live.erase(found);
        if (bytes) state_->Touch(key);
    }
    if (!bytes) return std::nullopt;
    return SharedBody{std::move(bytes), size};
}

void LargeBodies::Request(const std::shared_ptr<const LoadedArchive>& archive, BodyKey key,
                          Delivery deliver) {
    if (auto held = Held(key)) {
        deliver(std::move(held));
        return;
    }
    const EntryView entry = archive->Entries[EntryOfKey(key)];
    std::shared_ptr<const char[]> live;
    State::Room room;
    bool start = false;
    bool stopped = false;
    {
        std::lock_guard guard(state_->lock);
        stopped = state_->stopped;
        // It may have been made since Held looked.
        if (const auto found = state_->live.find(key); found != state_->live.end()) {
            live = found->second.bytes.lock();
        }
        if (!live && !stopped) {
            auto [making, first] = state_->making.try_emplace(key);
            making->second.waiting.push_back(std::move(deliver));
            if (first) {
                making->second.archive = archive;
                start = state_->budget.Admit(key, DecompressionCost(entry));
                if (!start) room = state_->MakeRoom(state_->budget.Waiting() == 1);
            }
        }
    }
    if (stopped && !live) {
        // Moved from only when the server runs.
        // NOLINTNEXTLINE(bugprone-use-after-move)
        deliver(std::nullopt);
        return;
    }
    if (live) {
        // Moved from only when no body was live.
        // NOLINTNEXTLINE(bugprone-use-after-move)
        deliver(SharedBody{std::move(live), entry.UnpackedSize});
        return;
    }
    if (start) Start(key, archive);
    // Bodies nobody else holds give their room back here, which may start
    // this request's decompression.
    LetGoForRoom(cache_, std::move(room));
}

void LargeBodies::Start(BodyKey key, const std::shared_ptr<const LoadedArchive>& archive) {
    decompressions_++;
    if (pool_.Submit([this, key, archive] { Decompress(key, *archive); })) return;
    // Stopping: nobody gets the body.
    std::vector<Delivery> waiting;
    State::Outcome outcome;
    {
        std::lock_guard guard(state_->lock);
        waiting = state_->TakeWaiting(key);
        outcome = state_->Release(DecompressionCost(archive->Entries[EntryOfKey(key)]));
    }
    for (const Delivery& deliver : waiting) deliver(std::nullopt);
    Follow(*state_, std::move(outcome),
           [this](BodyKey next, const std::shared_ptr<const LoadedArchive>& nextArchive) {
               Start(next, nextArchive);
           });
}

void LargeBodies::Decompress(BodyKey key, const LoadedArchive& archive) {
    const EntryView entry = archive.Entries[EntryOfKey(key)];
    std::optional<SharedBody> body;
    EntryReadResult result = EntryReadResult::NotBacked;
    // Once the body holds its bytes, they go back with it.
    bool returnedWithBody = false;
    try {
        char* content = new char[entry.UnpackedSize];
        // Should making the holder fail, it frees the bytes and gives them back.
        returnedWithBody = true;
        std::shared_ptr<const char[]> bytes(content, ReturnToBudget{state_, entry.UnpackedSize});
        result = ReadEntryContent(archive.File(), entry, content);
        body = SharedBody{std::move(bytes), entry.UnpackedSize};
    } catch (const std::bad_alloc&) {
    }
    const size_t unreturned = returnedWithBody ? entry.PackedSize : DecompressionCost(entry);
    // A short read or a damaged stream is sent as read, but not kept, so that
    // a file since repaired is read again; nor is a body of an archive no
    // longer served.
    bool keep = false;
    std::vector<Delivery> waiting;
    State::Outcome outcome;
    {
        std::lock_guard guard(state_->lock);
        waiting = state_->TakeWaiting(key);
        const bool open = state_->open.contains(ArchiveOfKey(key));
        if (body && open) state_->live[key] = {body->Bytes, entry.UnpackedSize};
        keep = body && open && result == EntryReadResult::Read;
        // Kept while the budget has room for it and nobody waits for room;
        // never one made alone beyond the budget.
        if (keep && state_->budget.MayKeep(entry.PackedSize)) {
            state_->kept.push_front({key, body->Bytes, entry.UnpackedSize});
        }
        outcome = state_->Release(unreturned);
    }
    Follow(*state_, std::move(outcome),
           [this](BodyKey next, const std::shared_ptr<const LoadedArchive>& nextArchive) {
               Start(next, nextArchive);
           });
    if (keep) {
        cache_.Add(key, *body);
        // Its site may have ended since: Close may have looked at the cache
        // before the body was added.
        bool closed = false;
        {
            std::lock_guard guard(state_->lock);
            closed = !state_->open.contains(ArchiveOfKey(key));
        }
        if (closed) cache_.TakeOldest([key](BodyKey cached) { return cached == key; }, kEverything);
    }
    for (const Delivery& deliver : waiting) deliver(body);
}

size_t LargeBodies::BytesInUse() const {
    std::lock_guard guard(state_->lock);
    return state_->budget.InUse();
}

SiteBodies::SiteBodies(LargeBodies& store, std::shared_ptr<const LoadedArchive> archive,
                       uint32_t number)
    : store_(store), archive_(std::move(archive)), number_(number) {
    store_.Open(number_);
}

SiteBodies::~SiteBodies() {
    store_.Close(number_);
}

std::optional<SharedBody> SiteBodies::Held(uint32_t index) const {
    return store_.Held(BodyKeyOf(number_, index));
}

void SiteBodies::Request(uint32_t index, LargeBodies::Delivery deliver) const {
    store_.Request(archive_, BodyKeyOf(number_, index), std::move(deliver));
}

namespace {

void ReturnToBudget::operator()(const char* bytesHeld) const {
    delete[] bytesHeld;
    const std::shared_ptr<LargeBodies::State> budget = state.lock();
    if (!budget) return;  // the server is gone: nothing waits for room
    LargeBodies::State::Outcome outcome;
    std::function<void(BodyKey, const std::shared_ptr<const LoadedArchive>&)> start;
    {
        std::lock_guard guard(budget->lock);
        outcome = budget->Release(bytes);
        start = budget->start;
    }
    if (!start) return;
    Follow(*budget, std::move(outcome), start);
}

}  // namespace
