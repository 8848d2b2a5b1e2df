// The page a request path resolves to: an entry's content, or a line saying
// why there is none.
#pragma once

#include <cstdint>
#include <string>

#include "WebServer/BrowseOptions.h"
#include "WebServer/MimeTypes.h"

struct Page {
    std::string Body;         // any bytes, NUL included
    std::string ContentType;  // never empty
};

// How pages are found and typed while a server runs. Default: exact names and
// the fixed type table only.
struct PageRules {
    BrowseOptions Options;
    // Read once, at the server's start, when Options.StandardTypes asks for it.
    MimeTypeTable StandardTypes;
};

// The rules for `options`, reading the system's media-types list if they ask
// for it (a list that cannot be read names no types).
PageRules PageRulesFor(const BrowseOptions& options);

// Resolves `path` (the request target before its first "?", not decoded)
// against Archive's loaded entry table and reads the entry from its
// ArchiveHandle under its ArchiveLock, as `rules` allow (ResolvePath). A path
// that names no entry gives the text "Cannot find the specified page: " and
// the path as sent, normalised, as text/plain; so does, with its own text, an
// entry whose recorded sizes cannot be real for the archive.
// Throws std::bad_alloc when memory runs out.
Page LoadPage(const std::string& path, const PageRules& rules = PageRules{});
