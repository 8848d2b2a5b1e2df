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

// Where a folder is when a URL names it without its closing "/" (FolderIndex),
// as a web server sends a browser on: "./", the last segment of `sentPath`
// (the request's path as sent) and "/", a reference relative to the request,
// so that the folder's index.html is served where its own relative links
// resolve, behind any root too. `path` is the request's path below any root
// and archive prefix: empty for a library's archive named without its "/"
// (`/python`), the folder's own path inside an archive (`api/views`).
// The folder is looked for as ResolvePath looks (decoded too, DecodePaths).
// Nothing when the folder has no index.html, when `path` ends in "/", or for
// a last segment that is empty, "." or "..", or holds a "\" or a byte a
// header could not carry as it is.
std::optional<std::string> FolderMovedTo(const LoadedArchive& archive, const std::string& sentPath,
                                         const std::string& path, const BrowseOptions& options);
