#include "Search/ArchiveSource.h"

#include "Platform/File.h"
#include "Shared/ReadEntry.h"

SearchSource SourceOfArchive(const ArchiveState& archive) {
    SearchSource source;
    source.Names.reserve(archive.EntryCount);
    source.Sizes.reserve(archive.EntryCount);
    for (uint32_t i = 0; i < archive.EntryCount; ++i) {
        source.Names.push_back(archive.EntryTable[i].Name);
        source.Sizes.push_back(archive.EntryTable[i].UnpackedSize);
    }
    const platform::FileHandle file = archive.ArchiveHandle;
    const uint64_t fileSize = platform::FileSize64(file);
    const TItem* entries = archive.EntryTable;
    source.ReadContent = [file, fileSize, entries](uint32_t entry, std::string& content) {
        return ReadEntry(file, fileSize, entries[entry], content) == EntryReadResult::Read;
    };
    return source;
}
