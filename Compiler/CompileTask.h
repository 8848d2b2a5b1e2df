// A compile on a thread of its own, owned by the front end that started it:
// Stop, or the end of the task, ends the compile at its next file and joins
// its thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Compiler/CompileThread.h"
#include "Compiler/Progress.h"

class CompileTask {
  public:
    CompileTask() = default;
    ~CompileTask() { Stop(); }
    CompileTask(const CompileTask&) = delete;
    CompileTask& operator=(const CompileTask&) = delete;

    // Starts compiling `job`, reporting to `progress`, which must outlive the
    // task. False when no thread could be started (nothing runs then). One
    // compile per task.
    bool Start(const CompileJob& job, CompileProgress& progress);

    // Waits until the compile has ended or `timeout` has passed; true once it
    // has ended, or when none was started.
    bool WaitFor(std::chrono::milliseconds timeout);

    // Asks the compile to end at its next file, and waits for it. A compile
    // ended early puts no archive in place.
    void Stop();

  private:
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::condition_variable ended_;
    bool running_ = false;  // guarded by lock_
    std::thread thread_;
};
