#include "WebServer/LoaderPool.h"

#include <algorithm>
#include <system_error>
#include <utility>

LoaderPool::LoaderPool(unsigned threads) {
    for (unsigned i = 0; i < threads; ++i) {
        try {
            threads_.emplace_back([this] { RunLoader(); });
        } catch (const std::system_error&) {
            break;  // the loaders already running do the work
        }
    }
}

LoaderPool::~LoaderPool() {
    Stop();
}

bool LoaderPool::Submit(Job job) {
    {
        std::lock_guard guard(lock_);
        if (stopping_) return false;
        jobs_.push_back(std::move(job));
    }
    queued_.notify_one();
    return true;
}

void LoaderPool::Stop() {
    std::deque<Job> dropped;
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        dropped.swap(jobs_);
    }
    queued_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    // The dropped jobs are destroyed here, outside the lock: what they hold
    // may release memory and wake others.
}

void LoaderPool::RunLoader() {
    for (;;) {
        Job job;
        {
            std::unique_lock guard(lock_);
            queued_.wait(guard, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        try {
            job();
        } catch (...) {
            // A job reports its own failures; one that throws ends alone.
        }
    }
}

unsigned LoaderCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}
