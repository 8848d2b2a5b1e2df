// A thread of its own that looks for changes at a fixed interval, owned by
// whoever starts it: its end stops the thread and joins it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// How often a served folder (or archive) is looked at: a compile's rename is
// served well within two seconds, and a look at a folder of hundreds of
// archives costs about a millisecond.
inline constexpr std::chrono::milliseconds kWatchInterval{500};

class FolderWatch {
  public:
    // Calls `look` every `interval` on its thread until it ends. Running()
    // says whether the thread could be started.
    FolderWatch(std::chrono::milliseconds interval, std::function<void()> look);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool Running() const { return thread_.joinable(); }

  private:
    void Run();

    const std::chrono::milliseconds interval_;
    const std::function<void()> look_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};
