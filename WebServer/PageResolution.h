// From a request path to the entry that holds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Shared/EntryLookup.h"
#include "WebServer/BrowseOptions.h"

// `path` with every "%HH" (two hex digits, either case) turned into its byte.
// Nothing when the path holds no "%", or a "%" that two hex digits do not
// follow: a malformed escape leaves the whole path as it was. "+" stays "+".
std::optional<std::string> PercentDecode(const std::string& path);

struct Resolution {
    EntryMatch Match;
    // The normalised path that found the entry; when none did, the path as
    // sent, normalised.
    std::string Path;
};

// The entry of `archive` that `path` (the request target before its first
// "?", below any root: the routing step takes that off) names. Always
// tried first as sent, so every name found today is found the same way; only
// when that finds nothing, and in this order: the decoded path (DecodePaths);
// then, for a path that ends in "/" or is empty, the index.html of that folder
// as sent and, failing that, of the decoded folder (FolderIndex).
Resolution ResolvePath(const LoadedArchive& archive, const std::string& path,
                       const BrowseOptions& options);

// Where a folder asked for without its closing "/" is (FolderIndex): "./",
// the last segment of `sentPath` (the request's path as sent) and "/", a
// reference relative to the request, so that the folder's index.html is
// served where its own relative links resolve below it, behind any root or
// library prefix alike. `path` is the request's path below those: a folder
// of the archive that holds an index.html, or empty (the URL named the
// archive's prefix itself). Nothing for a path that ends in "/", names no
// such folder, or whose last segment is empty, "." or "..", or holds a "\"
// or a byte that a header could not carry as it is.
std::optional<std::string> FolderMovedTo(const LoadedArchive& archive, const std::string& sentPath,
                                         const std::string& path, const BrowseOptions& options);
