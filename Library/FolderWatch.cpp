#include "Library/FolderWatch.h"

#include <system_error>

FolderWatch::FolderWatch(std::chrono::milliseconds interval, std::function<void()> look)
    : interval_(interval), look_(std::move(look)) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // Served as it is now, without changes picked up.
    }
}

FolderWatch::~FolderWatch() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void FolderWatch::Run() {
    std::unique_lock<std::mutex> hold(lock_);
    while (!wake_.wait_for(hold, interval_, [this] { return stopping_; })) {
        hold.unlock();
        try {
            look_();
        } catch (...) {
            // Memory ran out while loading: the next look tries again.
        }
        hold.lock();
    }
}
