#include "WebServer/AccessLog.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "Platform/Hangup.h"

namespace {

bool IsStandardOutput(const std::string& path) {
    return path == kStandardOutputLog;
}

std::FILE* OpenLog(const std::string& path) {
    return IsStandardOutput(path) ? stdout : std::fopen(path.c_str(), "ab");
}

}  // namespace

AccessLog::AccessLog(std::string path) : path_(std::move(path)) {
    platform::CountHangups();
    file_ = OpenLog(path_);
    if (file_ == nullptr) return;
    try {
        thread_ = std::thread([this] { Run(); });
        ready_ = true;
    } catch (const std::system_error&) {
        // Not Ready: the server does not start.
    }
}

AccessLog::~AccessLog() {
    {
        std::lock_guard guard(lock_);
        ending_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    if (file_ != nullptr && !IsStandardOutput(path_)) (void)std::fclose(file_);
}

void AccessLog::Post(std::string line) {
    {
        std::lock_guard guard(lock_);
        const size_t size = line.size();
        if (queuedBytes_ + size > kAccessLogQueueBytes) {
            dropped_.fetch_add(1);
            return;
        }
        try {
            queue_.push_back(std::move(line));
        } catch (...) {
            dropped_.fetch_add(1);
            return;
        }
        queuedBytes_ += size;
    }
    wake_.notify_one();
}

void AccessLog::Run() {
    unsigned hangups = platform::HangupCount();
    std::vector<std::string> taken;
    for (;;) {
        bool ending = false;
        {
            std::unique_lock guard(lock_);
            wake_.wait_for(guard, std::chrono::milliseconds(kHangupCheckMilliseconds),
                           [this] { return ending_ || !queue_.empty(); });
            taken.swap(queue_);
            queuedBytes_ = 0;
            ending = ending_;
        }
        if (const unsigned now = platform::HangupCount(); now != hangups) {
            hangups = now;
            Reopen();
        }
        for (const std::string& line : taken) {
            if (file_ != nullptr) (void)std::fwrite(line.data(), 1, line.size(), file_);
        }
        if (!taken.empty() && file_ != nullptr) (void)std::fflush(file_);
        taken.clear();
        if (ending) return;
    }
}

// The rotated file is let go; lines go on to a new one by the same name (or,
// when that cannot be made, nowhere until the next hang-up).
void AccessLog::Reopen() {
    if (IsStandardOutput(path_)) return;
    if (file_ != nullptr) (void)std::fclose(file_);
    file_ = OpenLog(path_);
}
