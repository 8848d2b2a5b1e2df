// A fixed set of threads that run queued jobs: the one way a pool starts,
// stops and joins its threads. Jobs start in the order queued.
//
// A thread that fails to start (the system has none left to give) leaves the
// group smaller; Workers() tells how many run, and a group with none refuses
// every job. A job that throws ends alone: it reports its own failures.
//
// Thread safety: Submit may be called from any thread; Stop and destruction
// by the owner, never from a job.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkerGroup {
  public:
    // Runs on one worker; `worker` (below Workers()) tells which, so that a
    // pool can keep state of its own for each.
    using Job = std::function<void(unsigned worker)>;
    // Asked before each start: true makes the start of `worker` fail as the
    // system's refusal would. Tests pass one; the program passes none.
    using StartFault = std::function<bool(unsigned worker)>;

    // Starts up to `threads` workers; Submit waits while `queueBound` jobs
    // (at least one) wait to start.
    WorkerGroup(unsigned threads, size_t queueBound, const StartFault& fault = {});
    // Stop().
    ~WorkerGroup();
    WorkerGroup(const WorkerGroup&) = delete;
    WorkerGroup& operator=(const WorkerGroup&) = delete;

    unsigned Workers() const { return static_cast<unsigned>(threads_.size()); }

    // Queues `job`, first waiting for room; false, and the job dropped, once
    // stopped or when no worker runs.
    bool Submit(Job job);

    // Lets the running jobs end, drops the queued ones, and joins every
    // worker. Idempotent.
    void Stop();

  private:
    void Run(unsigned worker);

    const size_t queueBound_;
    std::mutex lock_;
    std::condition_variable queued_;  // workers: a job waits, or stop
    std::condition_variable room_;    // Submit: a job was taken, or stop
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};
