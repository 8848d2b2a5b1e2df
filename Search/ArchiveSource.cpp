#include "Search/ArchiveSource.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <memory>

#include "Shared/ReadEntry.h"

namespace {

// The stream bytes that can hold `length` bytes of content at most: LZO1X-1
// output never exceeds its input by more than this.
size_t StreamBytesFor(size_t length) {
    return length + length / 16 + 64 + 3;
}

// The first `limit` bytes of `entry`'s content: only as much of a compressed
// stream is read and decompressed as they need.
bool ReadEntryStart(const LoadedArchive& archive, const TItem& entry, size_t limit,
                    std::string& content) {
    if (limit >= entry.UnpackedSize) {
        return ReadEntry(archive.File(), archive.FileSize, entry, content) == EntryReadResult::Read;
    }
    if (!IsBackedByFile(entry, archive.FileSize)) return false;
    content.resize(limit);
    if (!IsCompressed(entry)) {
        return platform::ReadAt(archive.File(), content.data(), limit, entry.DataOffset) == limit;
    }
    const size_t streamLength = std::min<size_t>(entry.PackedSize, StreamBytesFor(limit));
    const auto stream = std::make_unique_for_overwrite<unsigned char[]>(streamLength);
    if (platform::ReadAt(archive.File(), stream.get(), streamLength, entry.DataOffset) !=
        streamLength) {
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

}  // namespace

SearchSource SourceOfArchive(const LoadedArchive& archive) {
    SearchSource source;
    source.Names.reserve(archive.Entries.size());
    source.Sizes.reserve(archive.Entries.size());
    for (const TItem& entry : archive.Entries) {
        source.Names.push_back(entry.Name);
        source.Sizes.push_back(entry.UnpackedSize);
    }
    source.ReadContent = [&archive](uint32_t entry, size_t limit, std::string& content) {
        return ReadEntryStart(archive, archive.Entries[entry], limit, content);
    };
    return source;
}
