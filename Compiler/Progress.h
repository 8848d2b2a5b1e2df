// What the compile is given and what it reports. The paths are written by
// whoever starts the compile before the thread starts, and never afterwards.
// Everything the compile reports is safe to read while it runs. None of these
// is ever freed: the compile thread is never joined and may outlive main().
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// The folder to pack and the archive to write, exactly as given.
extern std::string& SourceFolder;
extern std::string& CompileArchivePath;

// Set once each, from false to true: the compile has begun / has ended (also
// when it failed; see CompileFailed).
extern std::atomic<bool> CompileStarted;
extern std::atomic<bool> CompileFinished;

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

// The bare name of the file being packed; empty before the first file.
extern SharedText& CurrentFileName;

// True when the compile put no archive in place; CompileError then says why.
// Both are written before CompileFinished is set.
extern std::atomic<bool> CompileFailed;
extern SharedText& CompileError;

// Files the compile had to leave out, by reason, for the console's summary.
struct LeftOutCounts {
    std::atomic<uint32_t> unreadable{0};    // could not be opened or read into memory
    std::atomic<uint32_t> tooLarge{0};      // 4 GiB or more, or past the 2 GiB data area
    std::atomic<uint32_t> overCapacity{0};  // met after the entry table was full
};
extern LeftOutCounts& FilesLeftOut;

// Puts the compile's values back as at program start (tests run several
// compiles in one process; the program runs one).
void ResetCompileProgress();
