#include "WebServer/PageResolution.h"

#include "Shared/AnsiText.h"
#include "Shared/ArchiveState.h"

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Compares without making a lower-cased copy of the name: a miss compares
// every entry of the table, and a copy for each would dominate its cost.
bool EqualsIgnoringAsciiCase(const std::string& name, const std::string& lowerKey) {
    if (name.size() != lowerKey.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (LowerAscii(name[i]) != lowerKey[i]) return false;
    }
    return true;
}

}  // namespace

std::string NormalizePath(const std::string& path) {
    std::string normalized = BackslashesToSlashes(path);
    size_t first = normalized.find_first_not_of('/');
    if (first == std::string::npos) return {};
    size_t last = normalized.find_last_not_of('/');
    return normalized.substr(first, last - first + 1);
}

EntryMatch FindEntry(const std::string& normalizedPath) {
    const std::string key = AsciiLower(normalizedPath);
    const ArchiveState& archive = Archive;
    const uint32_t count = archive.EntryCount;
    for (uint32_t index = 0; index < count; ++index) {
        if (EqualsIgnoringAsciiCase(archive.EntryTable[index].Name, key)) return {true, index};
    }
    return {false, count};
}
