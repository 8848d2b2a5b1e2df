#include "Shared/ReadEntry.h"

#include <lzo/lzo1x.h>

bool IsBackedByFile(const TItem& entry, uint64_t fileSize) {
    if (entry.DataOffset >= platform::kSeekLimit || entry.UnpackedSize > kLargestContent) {
        return false;
    }
    if (uint64_t{entry.DataOffset} + StoredSize(entry) > fileSize) return false;
    return !IsCompressed(entry) || entry.UnpackedSize <= kLzoMostExpansion * entry.PackedSize;
}

StoredBytes ReadStoredBytes(platform::FileHandle file, const TItem& entry, std::string& body) {
    StoredBytes stored;
    if (!platform::SeekFromStart(file, entry.DataOffset)) return stored;
    if (!IsCompressed(entry)) {
        stored.complete = platform::ReadFile(file, body.data(), body.size()) == body.size();
        return stored;
    }
    stored.stream = std::make_unique_for_overwrite<unsigned char[]>(entry.PackedSize);
    stored.streamLength = platform::ReadFile(file, stored.stream.get(), entry.PackedSize);
    stored.complete = stored.streamLength == entry.PackedSize;
    return stored;
}

bool DecompressStream(const unsigned char* stream, size_t streamLength, std::string& body) {
    lzo_uint produced = body.size();
    const int result = lzo1x_decompress_safe(
        stream, streamLength, reinterpret_cast<unsigned char*>(body.data()), &produced, nullptr);
    return result == LZO_E_OK && produced == body.size();
}

EntryReadResult ReadEntry(platform::FileHandle file, uint64_t fileSize, const TItem& entry,
                          std::string& body, platform::CriticalSection* lock) {
    if (!IsBackedByFile(entry, fileSize)) {
        body.clear();
        return EntryReadResult::NotBacked;
    }
    body.assign(entry.UnpackedSize, '\0');
    StoredBytes stored;
    if (lock != nullptr) {
        platform::ScopedLock held(*lock);
        stored = ReadStoredBytes(file, entry, body);
    } else {
        stored = ReadStoredBytes(file, entry, body);
    }
    // Decompression needs no lock: it works on this call's own buffers.
    bool expanded = true;
    if (stored.stream) expanded = DecompressStream(stored.stream.get(), stored.streamLength, body);
    if (!stored.complete) return EntryReadResult::ShortRead;
    return expanded ? EntryReadResult::Read : EntryReadResult::StreamDamaged;
}
