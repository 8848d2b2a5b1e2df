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
    explicit State(size_t budgetBytes) : budget(budgetBytes) {}

    mutable std::mutex lock;
    BodyBudget budget;
    // Set by Stop: nothing starts or waits from then on.
    bool stopped = false;
    // Decompressions under way or waiting for room, with who wants each.
    std::unordered_map<uint32_t, std::vector<Delivery>> making;
    // Bodies made, while anyone holds them.
    std::unordered_map<uint32_t, std::weak_ptr<const char[]>> live;
    // Bodies kept after their last reader while the budget has room, most
    // recently asked for first, so that a page asked for over and over is
    // made once. They are let go, oldest first, when a request needs room.
    struct Kept {
        uint32_t index;
        std::shared_ptr<const char[]> bytes;
        size_t size;
    };
    std::list<Kept> kept;
    // Starts a decompression that got its room; cleared when LargeBodies ends.
    std::function<void(uint32_t)> start;

    // Makes entry `index` the most recently asked for of the kept bodies.
    void Touch(uint32_t index) {
        for (auto at = kept.begin(); at != kept.end(); ++at) {
            if (at->index != index) continue;
            kept.splice(kept.begin(), kept, at);
            return;
        }
    }

    // What freeing room for the first waiting entry comes to, for once the
    // lock is let go (the last hold's release takes it): the kept bodies
    // taken out, oldest first, and, when they are not enough, how many more
    // bytes of bodies made here the page cache must let go of. The cache is
    // asked once per entry that comes first in the queue (`newFirst`): what
    // it let go of may still be held by connections, which give it back later.
    struct Room {
        std::vector<std::shared_ptr<const char[]>> dropped;
        std::unordered_set<uint32_t> droppedEntries;
        size_t stillNeeded = 0;
        std::unordered_set<uint32_t> madeHere;  // when stillNeeded
    };

    Room MakeRoom(bool newFirst) {
        Room room;
        size_t needed = budget.RoomNeeded();
        while (needed > 0 && !kept.empty()) {
            needed -= std::min(needed, kept.back().size);
            room.droppedEntries.insert(kept.back().index);
            room.dropped.push_back(std::move(kept.back().bytes));
            kept.pop_back();
        }
        room.stillNeeded = newFirst ? needed : 0;
        if (room.stillNeeded > 0) {
            for (const auto& [index, bytes] : live) room.madeHere.insert(index);
        }
        return room;
    }

    // What a change of the budget leads to, for once the lock is let go.
    struct Outcome {
        std::vector<uint32_t> ready;  // decompressions to start
        Room room;
    };

    // Gives `bytes` back: the waiting entries that now fit are charged, and
    // room is made for the first that does not.
    Outcome Release(size_t bytes) {
        Outcome outcome;
        outcome.ready = budget.Release(bytes);
        outcome.room = MakeRoom(!outcome.ready.empty());
        return outcome;
    }
};

namespace {

// Gives a body's bytes back to the budget when its last holder lets go.
// It holds the budget weakly: a body's control block outlives its bytes while
// the budget's own record of live bodies still refers to it, and a strong
// hold there would keep the budget and that record alive for ever.
struct ReturnToBudget {
    std::weak_ptr<LargeBodies::State> state;
    size_t bytes;
    SiteCache cache;

    void operator()(const char* bytesHeld) const;
};

}  // namespace

size_t DecompressionCost(const EntryView& entry) {
    return size_t{entry.UnpackedSize} + entry.PackedSize;
}

LargeBodies::LargeBodies(const LoadedArchive& archive, SiteCache cache, LoaderPool& pool,
                         size_t budgetBytes)
    : archive_(archive), cache_(cache), pool_(pool), state_(std::make_shared<State>(budgetBytes)) {
    state_->start = [this](uint32_t index) { Start(index); };
}

LargeBodies::~LargeBodies() {
    Stop();
}

namespace {

// Bodies the cache keeps count against the budget too: a request that waits
// for room comes before them, but only as many go as free the room it needs,
// those kept here first.
void LetGoForRoom(const SiteCache& cache, LargeBodies::State::Room room) {
    if (!room.droppedEntries.empty()) {
        cache.TakeOldest([&](uint32_t index) { return room.droppedEntries.contains(index); },
                         std::numeric_limits<size_t>::max());
    }
    if (room.stillNeeded > 0) {
        cache.TakeOldest([&](uint32_t index) { return room.madeHere.contains(index); },
                         room.stillNeeded);
    }
    // The kept holds go last, here: each may start a waiting decompression.
}

}  // namespace

void LargeBodies::Stop() {
    // Taken out under the lock, answered and dropped outside it: what they
    // hold may be the last hold on a body, whose release takes the lock.
    std::unordered_map<uint32_t, std::vector<Delivery>> making;
    std::list<State::Kept> kept;
    {
        std::lock_guard guard(state_->lock);
        state_->stopped = true;
        state_->start = nullptr;
        making.swap(state_->making);
        state_->budget.ForgetWaits();
        kept.swap(state_->kept);
    }
    for (const auto& [index, waiting] : making) {
        for (const Delivery& deliver : waiting) deliver(std::nullopt);
    }
}

std::optional<SharedBody> LargeBodies::Held(uint32_t index) {
    if (auto cached = cache_.Find(index)) return cached;
    std::shared_ptr<const char[]> bytes;
    {
        std::lock_guard guard(state_->lock);
        const auto found = state_->live.find(index);
        if (found == state_->live.end()) return std::nullopt;
        bytes = found->second.lock();
        if (!bytes) state_->live.erase(found);
        if (bytes) state_->Touch(index);
    }
    if (!bytes) return std::nullopt;
    return SharedBody{std::move(bytes), archive_.Entries[index].UnpackedSize};
}

void LargeBodies::Request(uint32_t index, Delivery deliver) {
    if (auto held = Held(index)) {
        deliver(std::move(held));
        return;
    }
    const EntryView entry = archive_.Entries[index];
    std::shared_ptr<const char[]> live;
    State::Room room;
    bool start = false;
    bool stopped = false;
    {
        std::lock_guard guard(state_->lock);
        stopped = state_->stopped;
        // It may have been made since Held looked.
        if (const auto found = state_->live.find(index); found != state_->live.end()) {
            live = found->second.lock();
        }
        if (!live && !stopped) {
            auto [making, first] = state_->making.try_emplace(index);
            making->second.push_back(std::move(deliver));
            if (first) {
                start = state_->budget.Admit(index, DecompressionCost(entry));
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
    if (start) Start(index);
    // Bodies nobody else holds give their room back here, which may start
    // this request's decompression.
    LetGoForRoom(cache_, std::move(room));
}

void LargeBodies::Start(uint32_t index) {
    decompressions_++;
    if (pool_.Submit([this, index] { Decompress(index); })) return;
    // Stopping: nobody gets the body.
    std::vector<Delivery> waiting;
    State::Outcome outcome;
    {
        std::lock_guard guard(state_->lock);
        waiting = std::move(state_->making[index]);
        state_->making.erase(index);
        outcome = state_->Release(DecompressionCost(archive_.Entries[index]));
    }
    for (const Delivery& deliver : waiting) deliver(std::nullopt);
    for (uint32_t next : outcome.ready) Start(next);
    LetGoForRoom(cache_, std::move(outcome.room));
}

void LargeBodies::Decompress(uint32_t index) {
    const EntryView entry = archive_.Entries[index];
    std::optional<SharedBody> body;
    EntryReadResult result = EntryReadResult::NotBacked;
    // Once the body holds its bytes, they go back with it.
    bool returnedWithBody = false;
    try {
        char* content = new char[entry.UnpackedSize];
        // Should making the holder fail, it frees the bytes and gives them back.
        returnedWithBody = true;
        std::shared_ptr<const char[]> bytes(content,
                                            ReturnToBudget{state_, entry.UnpackedSize, cache_});
        result = ReadEntryContent(archive_.File(), entry, content);
        body = SharedBody{std::move(bytes), entry.UnpackedSize};
    } catch (const std::bad_alloc&) {
    }
    const size_t unreturned = returnedWithBody ? entry.PackedSize : DecompressionCost(entry);
    std::vector<Delivery> waiting;
    State::Outcome outcome;
    {
        std::lock_guard guard(state_->lock);
        waiting = std::move(state_->making[index]);
        state_->making.erase(index);
        if (body) state_->live[index] = body->Bytes;
        // Kept while the budget has room for it and nobody waits for room;
        // never one made alone beyond the budget, nor one read short or
        // damaged.
        if (body && result == EntryReadResult::Read && state_->budget.MayKeep(entry.PackedSize)) {
            state_->kept.push_front({index, body->Bytes, entry.UnpackedSize});
        }
        outcome = state_->Release(unreturned);
    }
    for (uint32_t next : outcome.ready) Start(next);
    LetGoForRoom(cache_, std::move(outcome.room));
    // A short read or a damaged stream is sent as read, but not kept, so that
    // a file since repaired is read again.
    if (body && result == EntryReadResult::Read) cache_.Add(index, *body);
    for (const Delivery& deliver : waiting) deliver(body);
}

size_t LargeBodies::BytesInUse() const {
    std::lock_guard guard(state_->lock);
    return state_->budget.InUse();
}

namespace {

void ReturnToBudget::operator()(const char* bytesHeld) const {
    delete[] bytesHeld;
    const std::shared_ptr<LargeBodies::State> budget = state.lock();
    if (!budget) return;  // the server is gone: nothing waits for room
    LargeBodies::State::Outcome outcome;
    std::function<void(uint32_t)> start;
    {
        std::lock_guard guard(budget->lock);
        outcome = budget->Release(bytes);
        start = budget->start;
    }
    if (!start) return;
    for (uint32_t next : outcome.ready) start(next);
    LetGoForRoom(cache, std::move(outcome.room));
}

}  // namespace
