#include "Shared/ReadEntry.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstring>
#include <memory>

bool IsBackedByFile(const EntryView& entry, uint64_t fileSize) {
    if (entry.DataOffset >= platform::kSeekLimit || entry.UnpackedSize > kLargestContent) {
        return false;
    }
    if (uint64_t{entry.DataOffset} + StoredSize(entry) > fileSize) return false;
    return !IsCompressed(entry) || entry.UnpackedSize <= kLzoMostExpansion * entry.PackedSize;
}

EntryReadResult ReadEntryContent(platform::FileHandle file, const EntryView& entry, char* content) {
    const size_t size = entry.UnpackedSize;
    if (!IsCompressed(entry)) {
        const size_t delivered = platform::ReadAt(file, content, size, entry.DataOffset);
        if (delivered == size) return EntryReadResult::Read;
        std::memset(content + delivered, 0, size - delivered);
        return EntryReadResult::ShortRead;
    }
    const auto stream = std::make_unique_for_overwrite<unsigned char[]>(entry.PackedSize);
    const size_t streamLength =
        platform::ReadAt(file, stream.get(), entry.PackedSize, entry.DataOffset);
    // The bounds-checked decompressor never writes past the content, and
    // reports how far it got even when it fails.
    lzo_uint produced = size;
    const int result = lzo1x_decompress_safe(
        stream.get(), streamLength, reinterpret_cast<unsigned char*>(content), &produced, nullptr);
    if (produced < size) std::memset(content + produced, 0, size - produced);
    if (streamLength < entry.PackedSize) return EntryReadResult::ShortRead;
    return result == LZO_E_OK && produced == size ? EntryReadResult::Read
                                                  : EntryReadResult::StreamDamaged;
}

EntryReadResult ReadEntry(platform::FileHandle file, uint64_t fileSize, const EntryView& entry,
                          std::string& body) {
    if (!IsBackedByFile(entry, fileSize)) {
        body.clear();
        return EntryReadResult::NotBacked;
    }
    body.resize(entry.UnpackedSize);
    return ReadEntryContent(file, entry, body.data());
}

namespace {

// The stream bytes that can hold `length` bytes of content at most: LZO1X-1
// output never exceeds its input by more than this.
size_t StreamBytesFor(size_t length) {
    return length + length / 16 + 64 + 3;
}

}  // namespace

bool ReadEntryStart(platform::FileHandle file, uint64_t fileSize, const EntryView& entry,
                    size_t limit, std::string& content) {
    if (limit >= entry.UnpackedSize) {
        return ReadEntry(file, fileSize, entry, content) == EntryReadResult::Read;
    }
    if (!IsBackedByFile(entry, fileSize)) return false;
    content.resize(limit);
    if (!IsCompressed(entry)) {
        return platform::ReadAt(file, content.data(), limit, entry.DataOffset) == limit;
    }
    const size_t streamLength = std::min<size_t>(entry.PackedSize, StreamBytesFor(limit));
    const auto stream = std::make_unique_for_overwrite<unsigned char[]>(streamLength);
    if (platform::ReadAt(file, stream.get(), streamLength, entry.DataOffset) != streamLength) {
        return false;
    }
    // Stopped by the end of the output (or of the part of the stream read),
    // the bounds-checked decompressor has still written exact bytes up to
    // where it stopped.
    lzo_uint produced = limit;
    lzo1x_decompress_safe(stream.get(), streamLength,
                          reinterpret_cast<unsigned char*>(content.data()), &produced, nullptr);
    content.resize(produced);
    return produced > 0;
}
