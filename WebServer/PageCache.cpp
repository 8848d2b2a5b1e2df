#include "WebServer/PageCache.h"

#include <cstring>

SharedBody SharedBodyOf(std::string_view bytes) {
    auto copy = std::make_shared_for_overwrite<char[]>(bytes.size());
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return {std::move(copy), bytes.size()};
}

std::optional<SharedBody> PageCache::Find(BodyKey entry) {
    std::lock_guard guard(lock_);
    const auto found = byEntry_.find(entry);
    if (found == byEntry_.end()) return std::nullopt;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->second;
}

void PageCache::Add(BodyKey entry, const SharedBody& body) {
    if (body.Size > limit_ / 4) return;
    // Let go of once the lock is: the last hold on a large body gives its
    // bytes back to the budget, which may ask this cache for more room.
    std::vector<SharedBody> evicted;
    std::lock_guard guard(lock_);
    if (byEntry_.count(entry) != 0) return;  // another connection got there first
    while (!order_.empty() && bytes_ + body.Size > limit_) {
        bytes_ -= order_.back().second.Size;
        byEntry_.erase(order_.back().first);
        evicted.push_back(std::move(order_.back().second));
        order_.pop_back();
    }
    order_.emplace_front(entry, body);
    byEntry_[entry] = order_.begin();
    bytes_ += body.Size;
}

std::vector<SharedBody> PageCache::TakeOldest(const std::function<bool(BodyKey)>& mayTake,
                                              size_t bytes) {
    std::vector<SharedBody> taken;
    size_t takenBytes = 0;
    std::lock_guard guard(lock_);
    for (auto at = order_.end(); at != order_.begin() && takenBytes < bytes;) {
        --at;
        if (!mayTake(at->first)) continue;
        takenBytes += at->second.Size;
        bytes_ -= at->second.Size;
        byEntry_.erase(at->first);
        taken.push_back(std::move(at->second));
        at = order_.erase(at);
    }
    return taken;
}

void PageCache::Clear() {
    Order cleared;  // let go of once the lock is, as in Add
    std::lock_guard guard(lock_);
    cleared.swap(order_);
    byEntry_.clear();
    bytes_ = 0;
}

size_t PageCache::Bytes() {
    std::lock_guard guard(lock_);
    return bytes_;
}
