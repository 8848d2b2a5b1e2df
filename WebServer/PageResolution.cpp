#include "WebServer/PageResolution.h"

#include <algorithm>
#include <string_view>

#include "Shared/AnsiText.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The page a browser means by a folder URL; the empty path is the site's root.
std::string FolderIndexOf(const std::string& normalizedFolder) {
    constexpr const char* kIndexName = "index.html";
    return normalizedFolder.empty() ? kIndexName : normalizedFolder + "/" + kIndexName;
}

}  // namespace

std::optional<std::string> PercentDecode(const std::string& path) {
    if (path.find('%') == std::string::npos) return std::nullopt;
    std::string decoded;
    decoded.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') {
            decoded += path[i];
            continue;
        }
        const int high = i + 2 < path.size() ? HexValue(path[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(path[i + 2]) : -1;
        if (low < 0) return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

std::optional<std::string> FolderMovedTo(const LoadedArchive& archive, const std::string& sentPath,
                                         const std::string& path, const BrowseOptions& options) {
    if (!options.FolderIndex || (!path.empty() && path.back() == '/')) return std::nullopt;
    const std::string_view segment = std::string_view(sentPath).substr(sentPath.rfind('/') + 1);
    const bool plain = !segment.empty() && segment != "." && segment != ".." &&
                       std::all_of(segment.begin(), segment.end(), [](char c) {
                           return static_cast<unsigned char>(c) > 0x20 &&
                                  static_cast<unsigned char>(c) < 0x7F && c != '\\';
                       });
    if (!plain || sentPath.rfind('/') == std::string::npos) return std::nullopt;
    const auto holdsIndex = [&](const std::string& folder) {
        return FindEntry(archive, FolderIndexOf(NormalizePath(folder))).Found;
    };
    std::optional<std::string> decoded;
    if (options.DecodePaths) decoded = PercentDecode(path);
    if (!holdsIndex(path) && !(decoded && holdsIndex(*decoded))) return std::nullopt;
    return "./" + std::string(segment) + "/";
}

Resolution ResolvePath(const LoadedArchive& archive, const std::string& path,
                       const BrowseOptions& options) {
    Resolution resolution{{}, NormalizePath(path)};
    resolution.Match = FindEntry(archive, resolution.Path);
    if (resolution.Match.Found) return resolution;

    std::optional<std::string> decoded;
    if (options.DecodePaths) {
        if (const auto text = PercentDecode(path)) decoded = NormalizePath(*text);
    }
    // Only the path as the browser shows it decides what is a folder: relative
    // links in the page resolve against that.
    const bool isFolder = path.empty() || path.back() == '/';
    const std::optional<std::string> candidates[] = {
        decoded,
        options.FolderIndex && isFolder ? std::optional(FolderIndexOf(resolution.Path))
                                        : std::nullopt,
        options.FolderIndex && isFolder && decoded ? std::optional(FolderIndexOf(*decoded))
                                                   : std::nullopt,
    };
    for (const std::optional<std::string>& candidate : candidates) {
        if (!candidate) continue;
        const EntryMatch match = FindEntry(archive, *candidate);
        if (match.Found) return {match, *candidate};
    }
    return resolution;
}
