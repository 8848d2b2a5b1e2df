#include "Shared/ArchiveWriter.h"

#include <cstring>
#include <utility>

namespace {

// Large enough that a tree of small files costs a write call per few hundred
// entries, small beside the buffers of the files in flight.
constexpr size_t kBufferSize = size_t{4} << 20;

// The index is appended in pieces of about this size rather than a call per record.
constexpr size_t kIndexPiece = size_t{1} << 20;

}  // namespace

ArchiveWriter::ArchiveWriter(platform::FileHandle file)
    : file_(file), buffer_(std::make_unique_for_overwrite<unsigned char[]>(kBufferSize)) {
    // The header's place, filled in by Finish once the index is written.
    const std::string placeholder(kHeaderSize, '\0');
    Append(placeholder.data(), placeholder.size());
}

bool ArchiveWriter::Add(TItem entry, const void* stored, size_t storedSize) {
    entry.DataOffset = writePosition_;
    if (!Append(stored, storedSize)) return false;
    entries_.push_back(std::move(entry));
    return true;
}

bool ArchiveWriter::Finish() {
    indexOffset_ = writePosition_;
    std::string records;
    for (size_t i = 0; i < entries_.size(); ++i) {
        AppendIndexRecord(records, entries_[i]);
        if (records.size() >= kIndexPiece || i + 1 == entries_.size()) {
            if (!Append(records.data(), records.size())) return false;
            records.clear();
        }
    }
    if (!Flush()) return false;
    const std::string header = HeaderBytes(indexOffset_);
    if (!platform::SeekFromStart(file_, 0) ||
        platform::WriteFile(file_, header.data(), header.size()) != header.size()) {
        return Fail();
    }
    return true;
}

bool ArchiveWriter::Append(const void* bytes, size_t count) {
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

bool ArchiveWriter::Flush() {
    if (failed_) return false;
    const size_t count = buffered_;
    buffered_ = 0;
    return WriteOut(buffer_.get(), count);
}

bool ArchiveWriter::WriteOut(const void* bytes, size_t count) {
    if (count == 0) return true;
    if (platform::WriteFile(file_, bytes, count) == count) return true;
    return Fail();
}

bool ArchiveWriter::Fail() {
    failed_ = true;
    error_ = platform::LastErrorText();
    return false;
}
