// Appending to the archive being written, with a memory of any write that
// failed: one lost byte makes the whole archive worthless, so the first
// failure stops the walk and the compile puts no archive in place. One
// compile owns one ArchiveOutput, on its own thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/File.h"

class ArchiveOutput {
  public:
    explicit ArchiveOutput(platform::FileHandle file) : file_(file) {}

    // Writes `count` bytes at WritePosition and advances it. False, and the
    // failure recorded, when not every byte could be written.
    bool Append(const void* bytes, size_t count);

    // The compile's write cursor: where the next entry's data goes.
    uint32_t WritePosition() const { return writePosition_; }

    // True once any write has failed; the reason is kept.
    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }

  private:
    platform::FileHandle file_;
    uint32_t writePosition_ = 0;
    bool failed_ = false;
    std::string error_;
};
