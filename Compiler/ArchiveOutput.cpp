#include "Compiler/ArchiveOutput.h"

#include <cstring>

namespace {

// Large enough that a tree of small files costs a write call per few hundred
// entries, small beside the buffers of the files in flight.
constexpr size_t kBufferSize = size_t{4} << 20;

}  // namespace

ArchiveOutput::ArchiveOutput(platform::FileHandle file)
    : file_(file), buffer_(std::make_unique_for_overwrite<unsigned char[]>(kBufferSize)) {}

bool ArchiveOutput::Append(const void* bytes, size_t count) {
    if (failed_) return false;
    writePosition_ += static_cast<uint32_t>(count);
    if (count > kBufferSize - buffered_) {
        if (!Flush()) return false;
        // What does not fit an empty buffer goes out as it is, uncopied.
        if (count >= kBufferSize) return WriteOut(bytes, count);
    }
    std::memcpy(buffer_.get() + buffered_, bytes, count);
    buffered_ += count;
    return true;
}

bool ArchiveOutput::Flush() {
    if (failed_) return false;
    const size_t count = buffered_;
    buffered_ = 0;
    return WriteOut(buffer_.get(), count);
}

bool ArchiveOutput::WriteOut(const void* bytes, size_t count) {
    if (count == 0) return true;
    if (platform::WriteFile(file_, bytes, count) == count) return true;
    failed_ = true;
    error_ = platform::LastErrorText();
    return false;
}
