#include "Shared/EntryLookup.h"

#include "Shared/AnsiText.h"

std::string NormalizePath(const std::string& path) {
    std::string normalized = BackslashesToSlashes(path);
    size_t first = normalized.find_first_not_of('/');
    if (first == std::string::npos) return {};
    size_t last = normalized.find_last_not_of('/');
    return normalized.substr(first, last - first + 1);
}

EntryMatch FindEntry(const LoadedArchive& archive, std::string_view normalizedPath) {
    const uint32_t index = archive.Names.Find(archive.Entries, normalizedPath);
    return {index < archive.Entries.size(), index};
}
