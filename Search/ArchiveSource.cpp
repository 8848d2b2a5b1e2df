#include "Search/ArchiveSource.h"

#include "Shared/ReadEntry.h"

SearchSource SourceOfArchive(const LoadedArchive& archive) {
    SearchSource source;
    source.Names.reserve(archive.Entries.size());
    source.Sizes.reserve(archive.Entries.size());
    for (const EntryView entry : archive.Entries) {
        source.Names.emplace_back(entry.Name);
        source.Sizes.push_back(entry.UnpackedSize);
    }
    source.ReadContent = [&archive](uint32_t entry, size_t limit, std::string& content) {
        return ReadEntryStart(archive.File(), archive.FileSize, archive.Entries[entry], limit,
                              content);
    };
    return source;
}
