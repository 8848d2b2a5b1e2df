#include "WebServer/LargeBodies.h"

#include <deque>
#include <list>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Shared/ReadEntry.h"

// What the bodies share with LargeBodies: the budget and who waits for room.
struct LargeBodies::State {
    explicit State(size_t budget) : budgetBytes(budget) {}

    const size_t budgetBytes;
    mutable std::mutex lock;
    size_t inUse = 0;
    // Decompressions under way or waiting for room, with who wants each.
    std::unordered_map<uint32_t, std::vector<Delivery>> making;
    // Entries whose decompression waits for room, in the order asked.
    std::deque<uint32_t> waitingForRoom;
    // What each waiting entry will charge.
    std::unordered_map<uint32_t, size_t> cost;
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

    bool Fits(size_t bytes) const { return inUse == 0 || inUse + bytes <= budgetBytes; }

    // Takes kept bodies out, oldest first, until `bytes` more would fit once
    // their readers let go (or none is left): to be dropped once the lock is
    // let go, since the last hold's release takes it.
    std::vector<std::shared_ptr<const char[]>> MakeRoom(size_t bytes) {
        std::vector<std::shared_ptr<const char[]>> dropped;
        size_t freed = 0;
        while (!kept.empty() && inUse - freed + bytes > budgetBytes) {
            freed += kept.back().size;
            dropped.push_back(std::move(kept.back().bytes));
            kept.pop_back();
        }
        return dropped;
    }

    // Makes entry `index` the most recently asked for of the kept bodies.
    void Touch(uint32_t index) {
        for (auto at = kept.begin(); at != kept.end(); ++at) {
            if (at->index != index) continue;
            kept.splice(kept.begin(), kept, at);
            return;
        }
    }

    // What a change of the budget leads to, for once the lock is let go:
    // decompressions to start, and kept bodies to drop (the last hold's
    // release takes the lock).
    struct Outcome {
        std::vector<uint32_t> ready;
        std::vector<std::shared_ptr<const char[]>> dropped;
    };

    // Gives `bytes` back: the waiting entries that now fit are charged, and
    // kept bodies make room for the first that does not.
    Outcome Release(size_t bytes) {
        inUse -= bytes;
        Outcome outcome;
        while (!waitingForRoom.empty() && Fits(cost[waitingForRoom.front()])) {
            const uint32_t index = waitingForRoom.front();
            waitingForRoom.pop_front();
            inUse += cost[index];
            cost.erase(index);
            outcome.ready.push_back(index);
        }
        if (!waitingForRoom.empty()) outcome.dropped = MakeRoom(cost[waitingForRoom.front()]);
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

void LargeBodies::Stop() {
    // Taken out under the lock, dropped outside it: what they hold may be
    // the last hold on a body, whose release takes the lock.
    std::unordered_map<uint32_t, std::vector<Delivery>> making;
    std::list<State::Kept> kept;
    {
        std::lock_guard guard(state_->lock);
        state_->start = nullptr;
        making.swap(state_->making);
        state_->waitingForRoom.clear();
        kept.swap(state_->kept);
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
    // Kept bodies let go for this request's room.
    std::vector<std::shared_ptr<const char[]>> dropped;
    bool start = false;
    bool wait = false;
    {
        std::lock_guard guard(state_->lock);
        // It may have been made since Held looked.
        if (const auto found = state_->live.find(index); found != state_->live.end()) {
            live = found->second.lock();
        }
        if (!live) {
            auto [making, first] = state_->making.try_emplace(index);
            making->second.push_back(std::move(deliver));
            const size_t cost = DecompressionCost(entry);
            if (first && state_->waitingForRoom.empty() && state_->Fits(cost)) {
                state_->inUse += cost;
                start = true;
            } else if (first) {
                state_->waitingForRoom.push_back(index);
                state_->cost[index] = cost;
                if (state_->waitingForRoom.size() == 1) dropped = state_->MakeRoom(cost);
                wait = true;
            }
        }
    }
    if (live) {
        // Moved from only when no body was live.
        // NOLINTNEXTLINE(bugprone-use-after-move)
        deliver(SharedBody{std::move(live), entry.UnpackedSize});
        return;
    }
    if (start) Start(index);
    // Kept bodies nobody else holds give their room back here, which may
    // start this request's decompression.
    dropped.clear();
    // Bodies the cache keeps for later count against the budget too: a
    // request that waits for room comes before them.
    if (wait) cache_.Clear();
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
        std::shared_ptr<const char[]> bytes(content, ReturnToBudget{state_, entry.UnpackedSize});
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
        if (body && result == EntryReadResult::Read && state_->waitingForRoom.empty() &&
            state_->inUse - entry.PackedSize <= state_->budgetBytes) {
            state_->kept.push_front({index, body->Bytes, entry.UnpackedSize});
        }
        outcome = state_->Release(unreturned);
    }
    for (uint32_t next : outcome.ready) Start(next);
    // A short read or a damaged stream is sent as read, but not kept, so that
    // a file since repaired is read again.
    if (body && result == EntryReadResult::Read) cache_.Add(index, *body);
    for (const Delivery& deliver : waiting) deliver(body);
}

size_t LargeBodies::BytesInUse() const {
    std::lock_guard guard(state_->lock);
    return state_->inUse;
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
}

}  // namespace
