#include "Shared/WorkerGroup.h"

#include <algorithm>
#include <system_error>
#include <utility>

WorkerGroup::WorkerGroup(unsigned threads, size_t queueBound, const StartFault& fault)
    : queueBound_(std::max<size_t>(queueBound, 1)) {
    threads_.reserve(threads);
    for (unsigned worker = 0; worker < threads; ++worker) {
        if (fault && fault(worker)) break;
        try {
            threads_.emplace_back([this, worker] { Run(worker); });
        } catch (const std::system_error&) {
            break;  // the workers already running do the work
        }
    }
}

WorkerGroup::~WorkerGroup() {
    Stop();
}

bool WorkerGroup::Submit(Job job) {
    if (threads_.empty()) return false;
    {
        std::unique_lock guard(lock_);
        room_.wait(guard, [this] { return stopping_ || jobs_.size() < queueBound_; });
        if (stopping_) return false;
        jobs_.push_back(std::move(job));
    }
    queued_.notify_one();
    return true;
}

void WorkerGroup::Stop() {
    std::deque<Job> dropped;
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        dropped.swap(jobs_);
    }
    queued_.notify_all();
    room_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    // The dropped jobs are destroyed here, outside the lock: what they hold
    // may release memory and wake others.
}

void WorkerGroup::Run(unsigned worker) {
    for (;;) {
        Job job;
        {
            std::unique_lock guard(lock_);
            queued_.wait(guard, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        room_.notify_one();
        try {
            job(worker);
        } catch (...) {
            // A job reports its own failures; one that throws ends alone.
        }
    }
}
