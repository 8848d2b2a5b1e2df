#include "WebServer/SearchQueue.h"

#include <chrono>
#include <system_error>

namespace {

// How often a build is asked whether it has finished.
constexpr std::chrono::milliseconds kSettledLook{100};

bool Building(const std::weak_ptr<SiteSearch>& search) {
    const std::shared_ptr<SiteSearch> held = search.lock();
    return held && held->Ask("", 1).State == IndexState::Building;
}

}  // namespace

SearchQueue::SearchQueue() {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No search starts: every query says the indexes are building.
    }
}

SearchQueue::~SearchQueue() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void SearchQueue::Add(std::weak_ptr<SiteSearch> search) {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        waiting_.push_back(std::move(search));
    }
    wake_.notify_all();
}

void SearchQueue::Run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        std::weak_ptr<SiteSearch> next = std::move(waiting_.front());
        waiting_.pop_front();
        hold.unlock();
        if (const std::shared_ptr<SiteSearch> search = next.lock()) search->Start();
        hold.lock();
        while (!stopping_ && Building(next)) wake_.wait_for(hold, kSettledLook);
    }
}
