#include "WebServer/PageResolution.h"

#include "Shared/AnsiText.h"
#include "Shared/ArchiveState.h"

std::string NormalizePath(const std::string& path) {
    std::string normalized = BackslashesToSlashes(path);
    size_t first = normalized.find_first_not_of('/');
    if (first == std::string::npos) return {};
    size_t last = normalized.find_last_not_of('/');
    return normalized.substr(first, last - first + 1);
}

EntryMatch FindEntry(const std::string& normalizedPath) {
    const ArchiveState& archive = Archive;
    const uint32_t index = archive.Names.Find(archive.EntryTable, normalizedPath);
    return {index < archive.EntryCount, index};
}
