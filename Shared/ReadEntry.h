// Reading one entry's content from an open archive, with the checks every
// reader applies: the server for a page, the archive tool for cat, extract and
// verify. Damaged records never make a reader allocate what the file cannot
// back, and a damaged stream never writes past the entry's content.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Platform/File.h"
#include "Shared/ArchiveLayout.h"

// An LZO1X stream yields fewer than 256 bytes for each byte it holds (a
// match's length grows by at most 255 per extra length byte), so a compressed
// entry that claims more than this many times its stream is not real.
inline constexpr uint64_t kLzoMostExpansion = 256;

// A content length must fit a signed 32-bit number, and positions are sought
// with a signed 32-bit distance: neither may reach 2^31.
inline constexpr uint64_t kLargestContent = platform::kSeekLimit - 1;

// Whether the entry's stored bytes are one LZO1X stream: a PackedSize of 0,
// or one not below UnpackedSize, means raw bytes.
inline bool IsCompressed(const EntryView& entry) {
    return entry.PackedSize != 0 && entry.PackedSize < entry.UnpackedSize;
}

// The length of what the entry keeps in the data area.
inline uint32_t StoredSize(const EntryView& entry) {
    return IsCompressed(entry) ? entry.PackedSize : entry.UnpackedSize;
}

// Whether an archive `fileSize` bytes long can hold what the entry claims:
// its stored bytes inside the file, its content below 2 GiB and within what
// its stream could expand to.
bool IsBackedByFile(const EntryView& entry, uint64_t fileSize);

enum class EntryReadResult {
    Read,           // the content is exact
    NotBacked,      // the recorded sizes cannot be real for this file (nothing read)
    ShortRead,      // the file gave fewer stored bytes than recorded
    StreamDamaged,  // the stream failed to decompress to exactly UnpackedSize
                    // bytes using exactly PackedSize bytes
};

// Reads the whole content of `entry` into `content`, which holds UnpackedSize
// bytes and need not be zeroed: only what a short read or a damaged stream
// leaves undelivered is zeroed, never left as other memory. Reads are
// positional, so any number of threads may read one handle at once. The entry
// must be backed by the file (IsBackedByFile).
EntryReadResult ReadEntryContent(platform::FileHandle file, const EntryView& entry, char* content);

// Reads the whole content of `entry` into `body` (resized to UnpackedSize;
// cleared when the entry is not backed).
EntryReadResult ReadEntry(platform::FileHandle file, uint64_t fileSize, const EntryView& entry,
                          std::string& body);

// The first `limit` bytes of `entry`'s content into `content`: only as much
// of a compressed stream is read and decompressed as they need. False when
// nothing could be read.
bool ReadEntryStart(platform::FileHandle file, uint64_t fileSize, const EntryView& entry,
                    size_t limit, std::string& content);
