#include "Compiler/CompileTask.h"

#include <system_error>

#include "Platform/FaultInjection.h"

bool CompileTask::Start(const CompileJob& job, CompileProgress& progress) {
    if (thread_.joinable() || platform::FaultInjection::FailThreadStart()) return false;
    {
        std::lock_guard guard(lock_);
        running_ = true;
    }
    try {
        thread_ = std::thread([this, job, &progress] {
            Compile(job, progress, &stop_);
            {
                std::lock_guard guard(lock_);
                running_ = false;
            }
            ended_.notify_all();
        });
    } catch (const std::system_error&) {
        std::lock_guard guard(lock_);
        running_ = false;
        return false;
    }
    return true;
}

bool CompileTask::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return ended_.wait_for(guard, timeout, [this] { return !running_; });
}

void CompileTask::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}
