#include "Search/IndexCache.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Platform/File.h"
#include "Platform/FolderEnumeration.h"
#include "Platform/Paths.h"
#include "Platform/UserFolders.h"
#include "Search/SearchIndex.h"
#include "Shared/ArchiveLayout.h"

namespace {

// The index records hashed at most: as many as the largest table can have.
constexpr uint64_t kMostIndexBytesHashed =
    uint64_t{kMaxEntries} * (kIndexRecordFixedSize + kMaxNameLength);
constexpr size_t kHashPiece = size_t{1} << 20;

// FNV-1a, 64 bits: tells archives apart, is no defence against a forger
// (who could only make their own index stale).
class Fnv64 {
  public:
    void Add(const void* bytes, size_t count) {
        const auto* at = static_cast<const unsigned char*>(bytes);
        for (size_t i = 0; i < count; ++i) {
            hash_ ^= at[i];
            hash_ *= 0x100000001B3u;
        }
    }
    void Add(std::string_view text) { Add(text.data(), text.size()); }
    uint64_t Value() const { return hash_; }

  private:
    uint64_t hash_ = 0xCBF29CE484222325u;
};

std::string Hex(uint64_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (size_t i = hex.size(); i-- > 0; value >>= 4) hex[i] = kDigits[value & 0xF];
    return hex;
}

}  // namespace

std::string SearchCacheFolder() {
    const std::string base = platform::UserCacheFolder();
    if (base.empty()) return {};
    return platform::PathInFolder(base, "pelorine");
}

std::string ArchiveIdentity(const std::string& archivePath) {
    const platform::FileHandle file = platform::OpenForReading(archivePath);
    if (file == platform::kInvalidFile) return {};
    const platform::FileStamp stamp = platform::FileStampOf(file);
    const uint64_t size = platform::FileSize64(file);
    Fnv64 hash;
    unsigned char header[kHeaderSize] = {};
    const size_t headerRead = platform::ReadAt(file, header, sizeof header, 0);
    hash.Add(header, headerRead);
    const uint64_t indexStart = std::clamp<uint64_t>(
        ParseHeader({reinterpret_cast<const char*>(header), headerRead}), kHeaderSize, size);
    const uint64_t indexEnd = std::min(size, indexStart + kMostIndexBytesHashed);
    std::vector<char> piece(kHashPiece);
    for (uint64_t at = indexStart; at < indexEnd;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kHashPiece, indexEnd - at));
        const size_t got = platform::ReadAt(file, piece.data(), want, at);
        if (got == 0) break;
        hash.Add(piece.data(), got);
        at += got;
    }
    platform::CloseFile(file);
    return std::to_string(size) + "-" + std::to_string(stamp.ModifiedSeconds) + "." +
           std::to_string(stamp.ModifiedNanoseconds) + "-" + Hex(hash.Value());
}

namespace {

constexpr std::string_view kIndexFileEnd = ".sqlite";

uint64_t HashOf(std::string_view text) {
    Fnv64 hash;
    hash.Add(text);
    return hash.Value();
}

// What the names of every index of the archive at `place` begin with, in an
// index format.
std::string PlacePrefix(std::string_view place, int format = kIndexFormat) {
    return "search-" + std::to_string(format) + "-" + Hex(HashOf(place)) + "-";
}

}  // namespace

std::string IndexFileName(std::string_view place, std::string_view identity) {
    return PlacePrefix(place) + Hex(HashOf(identity)) + std::string(kIndexFileEnd);
}

std::string EarlierIndexFileName(std::string_view identity, int format) {
    return "search-" + std::to_string(format) + "-" + Hex(HashOf(identity)) +
           std::string(kIndexFileEnd);
}

void RemoveEarlierIndexes(const std::string& folder, std::string_view place,
                          std::string_view keptName) {
    // An index of an earlier format goes too: this program no longer reads it.
    std::vector<std::string> prefixes;
    for (int format = 1; format <= kIndexFormat; ++format) {
        prefixes.push_back(PlacePrefix(place, format));
    }
    const auto ofPlace = [&](std::string_view name) {
        return std::any_of(prefixes.begin(), prefixes.end(),
                           [&](const std::string& prefix) { return name.starts_with(prefix); });
    };
    std::vector<std::string> earlier;
    platform::FolderEnumeration enumeration(folder);
    for (platform::FolderEntry entry; enumeration.IsOpen() && enumeration.Next(entry);) {
        // Another run's index still being built ends otherwise than in
        // ".sqlite": it is left to that run.
        if (!entry.isFolder && ofPlace(entry.name) && entry.name.ends_with(kIndexFileEnd) &&
            entry.name != keptName) {
            earlier.push_back(entry.name);
        }
    }
    // Where a file still open elsewhere cannot go (Windows), it stays.
    for (const std::string& name : earlier)
        platform::DeleteFile(platform::PathInFolder(folder, name));
}
