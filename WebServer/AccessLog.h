// The access log (--browse-access-log): lines handed over by the event loops
// and written by a thread of its own, so that no response ever waits for the
// disk. The queue between them is bounded; when it is full, lines are
// dropped and counted. A hang-up (log rotation) makes the writer reopen the
// file by its name.
//
// Thread safety: Post and Dropped may be called from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Lines waiting to be written, in bytes: seconds of a busy server's lines,
// should the disk stall.
inline constexpr size_t kAccessLogQueueBytes = size_t{1} << 20;

// How often the writer looks for a hang-up while no line comes.
inline constexpr int kHangupCheckMilliseconds = 200;

// The path that names standard output.
inline constexpr const char* kStandardOutputLog = "-";

class AccessLog {
  public:
    // Opens `path` for appending ("-": standard output) and starts the writer.
    explicit AccessLog(std::string path);
    // Writes what is queued, then ends the writer and waits for it.
    ~AccessLog();
    AccessLog(const AccessLog&) = delete;
    AccessLog& operator=(const AccessLog&) = delete;

    // Whether the file could be opened and the writer started.
    bool Ready() const { return ready_; }

    // Queues `line` (one whole line, with its line feed), or drops it when the
    // queue is full. Never waits for the writer.
    void Post(std::string line);

    // Lines dropped so far.
    uint64_t Dropped() const { return dropped_.load(); }

  private:
    void Run();
    void Reopen();

    const std::string path_;
    bool ready_ = false;
    std::FILE* file_ = nullptr;  // the writer's, once it runs
    std::mutex lock_;
    std::condition_variable wake_;
    std::vector<std::string> queue_;
    size_t queuedBytes_ = 0;
    bool ending_ = false;
    std::atomic<uint64_t> dropped_{0};
    std::thread thread_;
};
