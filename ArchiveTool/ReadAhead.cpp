#include "ArchiveTool/ReadAhead.h"

#include <system_error>
#include <utility>

ReadAhead::ReadAhead(const LoadedArchive& archive, std::vector<uint32_t> indices)
    : archive_(archive), indices_(std::move(indices)) {
    try {
        reader_ = std::thread([this] { ReadAll(); });
    } catch (const std::system_error&) {
        // No thread: Next() reads in the caller's.
    }
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    roomOrStop_.notify_all();
    if (reader_.joinable()) reader_.join();
}

ReadAhead::Content ReadAhead::Read(uint32_t index, std::string buffer) const {
    Content content;
    content.bytes = std::move(buffer);
    content.result =
        ReadEntry(archive_.File(), archive_.FileSize, archive_.Entries[index], content.bytes);
    return content;
}

void ReadAhead::ReadAll() {
    for (const uint32_t index : indices_) {
        std::string buffer;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            roomOrStop_.wait(lock, [this] {
                return stop_ || ready_.empty() ||
                       (ready_.size() < kMostQueued && readyBytes_ < kMostQueuedBytes);
            });
            if (stop_) return;
            if (!spare_.empty()) {
                buffer = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        // The archive handle is this thread's alone while it runs.
        Content content = Read(index, std::move(buffer));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            readyBytes_ += content.bytes.size();
            ready_.push_back(std::move(content));
        }
        readied_.notify_one();
    }
}

ReadAhead::Content ReadAhead::Next() {
    const uint32_t index = indices_.at(taken_++);
    if (!reader_.joinable()) {
        std::string buffer;
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
        return Read(index, std::move(buffer));
    }
    Content content;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        readied_.wait(lock, [this] { return !ready_.empty(); });
        content = std::move(ready_.front());
        ready_.pop_front();
        readyBytes_ -= content.bytes.size();
    }
    roomOrStop_.notify_one();
    return content;
}

void ReadAhead::Recycle(std::string buffer) {
    if (buffer.capacity() > kLargestSpare) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.size() < kMostQueued + 1) spare_.push_back(std::move(buffer));
}
