#include "WebServer/BodyBudget.h"

#include <algorithm>

bool BodyBudget::Admit(BodyKey key, size_t cost) {
    if (waiting_.empty() && Fits(cost)) {
        inUse_ += cost;
        return true;
    }
    waiting_.emplace_back(key, cost);
    return false;
}

std::vector<BodyKey> BodyBudget::Release(size_t bytes) {
    inUse_ -= std::min(bytes, inUse_);
    std::vector<BodyKey> admitted;
    while (!waiting_.empty() && Fits(waiting_.front().second)) {
        inUse_ += waiting_.front().second;
        admitted.push_back(waiting_.front().first);
        waiting_.pop_front();
    }
    return admitted;
}

size_t BodyBudget::RoomNeeded() const {
    if (waiting_.empty() || Fits(waiting_.front().second)) return 0;
    // One larger than the whole limit needs everything back.
    return std::min(inUse_, inUse_ + waiting_.front().second - limit_);
}

bool BodyBudget::MayKeep(size_t returning) const {
    return waiting_.empty() && inUse_ - std::min(returning, inUse_) <= limit_;
}

std::vector<BodyKey> BodyBudget::ForgetWaits() {
    std::vector<BodyKey> forgotten;
    for (const auto& [key, cost] : waiting_) forgotten.push_back(key);
    waiting_.clear();
    return forgotten;
}
