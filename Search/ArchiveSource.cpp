#include "Search/ArchiveSource.h"

#include "Shared/ReadEntry.h"

SearchSource SourceOfArchive(const LoadedArchive& archive) {
    SearchSource source;
    source.Names.reserve(archive.Entries.size());
    source.Sizes.reserve(archive.Entries.size());
    for (const TItem& entry : archive.Entries) {
        source.Names.push_back(entry.Name);
        source.Sizes.push_back(entry.UnpackedSize);
    }
    source.ReadContent = [&archive](uint32_t entry, std::string& content) {
        return ReadEntry(archive.File(), archive.FileSize, archive.Entries[entry], content) ==
               EntryReadResult::Read;
    };
    return source;
}
