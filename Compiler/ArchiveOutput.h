// Appending to the archive being written, with a memory of any write that
// failed: one lost byte makes the whole archive worthless, so the first
// failure stops the walk and the compile puts no archive in place. One
// compile owns one ArchiveOutput, on its own thread.
//
// Appends are gathered in a buffer and written out a few MiB at a time: a
// tree of many small files would otherwise cost a system call per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Platform/File.h"

class ArchiveOutput {
  public:
    explicit ArchiveOutput(platform::FileHandle file);

    // Adds `count` bytes at WritePosition and advances it. False, and the
    // failure recorded, once any write has failed; a failure may show only at
    // a later Append or at Flush.
    bool Append(const void* bytes, size_t count);

    // Writes out everything appended so far; false once any write has failed.
    bool Flush();

    // The compile's write cursor: where the next entry's data goes.
    uint32_t WritePosition() const { return writePosition_; }

    // True once any write has failed; the reason is kept.
    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }

  private:
    bool WriteOut(const void* bytes, size_t count);

    platform::FileHandle file_;
    std::unique_ptr<unsigned char[]> buffer_;
    size_t buffered_ = 0;
    uint32_t writePosition_ = 0;
    bool failed_ = false;
    std::string error_;
};
