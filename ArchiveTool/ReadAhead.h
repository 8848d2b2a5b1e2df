// Entries' contents read and decompressed on a thread of their own, in the
// order an extract writes them, so that reading the archive overlaps with
// creating and writing the files.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Shared/LoadedArchive.h"
#include "Shared/ReadEntry.h"

class ReadAhead {
  public:
    struct Content {
        EntryReadResult result = EntryReadResult::NotBacked;
        std::string bytes;
    };

    // Starts reading the entries `indices` of `archive`, in that order.
    // Without a thread to spare, Next() reads each one itself.
    ReadAhead(const LoadedArchive& archive, std::vector<uint32_t> indices);
    // Stops the reader, wherever it is, and waits for it.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The content of the next entry of `indices`, once it is read.
    Content Next();

    // Takes back a content's buffer, to be filled again rather than
    // allocated anew.
    void Recycle(std::string buffer);

  private:
    void ReadAll();
    Content Read(uint32_t index, std::string buffer) const;

    // A few entries ahead keep both threads busy; the byte bound keeps large
    // entries from piling up (one entry is always let through, whatever its size).
    static constexpr size_t kMostQueued = 4;
    static constexpr size_t kMostQueuedBytes = 32u << 20;
    // Buffers beyond this size are freed, not kept for reuse.
    static constexpr size_t kLargestSpare = 8u << 20;

    const LoadedArchive& archive_;
    const std::vector<uint32_t> indices_;
    size_t taken_ = 0;  // entries Next() has handed out

    std::mutex mutex_;
    std::condition_variable roomOrStop_;  // the reader: a content was taken, or stop
    std::condition_variable readied_;     // Next(): a content is ready
    std::deque<Content> ready_;
    size_t readyBytes_ = 0;
    std::vector<std::string> spare_;
    bool stop_ = false;

    // Last: started once everything above exists.
    std::thread reader_;
};
