// What the compile reports while it runs and when it ends.
//
// Thread safety: the compile thread writes these values and any other thread
// may read them at any time, without a lock of the caller's own: the flags
// are atomic and only ever change from false to true during a compile, and
// the texts are replaced whole under their own lock. CompileFailed and
// CompileError are written before CompileFinished is set, so a reader that
// has seen CompileFinished sees the outcome.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// A string that one thread replaces while others read it: a reader always gets
// a whole value, the old one or the new one.
class SharedText {
  public:
    void Set(const std::string& text) {
        std::lock_guard guard(lock_);
        text_ = text;
    }
    std::string Get() const {
        std::lock_guard guard(lock_);
        return text_;
    }

  private:
    mutable std::mutex lock_;
    std::string text_;
};

// Files the compile had to leave out, by reason, for the console's summary.
struct LeftOutCounts {
    std::atomic<uint32_t> unreadable{0};    // could not be opened or read into memory
    std::atomic<uint32_t> tooLarge{0};      // 4 GiB or more, or past the 2 GiB data area
    std::atomic<uint32_t> overCapacity{0};  // met after the entry table was full
};

struct CompileProgress {
    // Set once each, from false to true: the compile has begun / has ended
    // (also when it failed; see CompileFailed).
    std::atomic<bool> CompileStarted{false};
    std::atomic<bool> CompileFinished{false};

    // The bare name of the file being packed; empty before the first file.
    // With several threads, the oldest file in flight: the one the archive
    // waits for next.
    SharedText CurrentFileName;

    // True when the compile put no archive in place; CompileError then says why.
    std::atomic<bool> CompileFailed{false};
    SharedText CompileError;

    LeftOutCounts FilesLeftOut;

    // Files appended so far, and their bytes before compression.
    std::atomic<uint32_t> FilesPacked{0};
    std::atomic<uint64_t> BytesPacked{0};

    // Where the index starts in the archive written; set before CompileFinished.
    std::atomic<uint32_t> IndexOffset{0};
};
