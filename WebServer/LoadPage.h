// The page a request path resolves to: an entry's content, or a line saying
// why there is none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Shared/LoadedArchive.h"
#include "WebServer/BrowseOptions.h"
#include "WebServer/MimeTypes.h"
#include "WebServer/PageCache.h"
#include "WebServer/PageKind.h"

struct Page {
    std::string Body;         // any bytes, NUL included
    std::string ContentType;  // never empty
    PageKind Kind = PageKind::Entry;
    uint32_t Entry = 0;  // the entry's index, for Kind Entry
};

// A page as connections send it: the body may be shared with the cache.
struct SharedPage {
    SharedBody Body;
    std::string ContentType;  // never empty
    PageKind Kind = PageKind::Entry;
    uint32_t Entry = 0;  // the entry's index, for Kind Entry
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
// against `archive`'s entries, as `rules` allow (ResolvePath), and reads the
// entry from its file with positional reads, so that
// readers never wait for each other. A path that names no entry gives the
// text "Cannot find the specified page: " and the path as sent, normalised, as
// text/plain; so does, with its own text, an entry whose recorded sizes cannot
// be real for the archive. Throws std::bad_alloc when memory runs out.
Page LoadPage(const LoadedArchive& archive, const std::string& path,
              const PageRules& rules = PageRules{});

// The same page, taken from `cache` when it holds the entry, and added to it
// once read.
SharedPage LoadPage(const LoadedArchive& archive, const std::string& path, const PageRules& rules,
                    PageCache& cache);

// The same, unless it means decompressing more than kQuickLoadBytes that
// `cache` does not hold: then nothing, and LoadPage(archive, path, rules, cache) is for
// a thread where the wait holds up no one else.
std::optional<SharedPage> LoadPageIfQuick(const LoadedArchive& archive, const std::string& path,
                                          const PageRules& rules, PageCache& cache);

// Decompressed bytes that take well under a millisecond to produce.
inline constexpr uint32_t kQuickLoadBytes = 256 * 1024;
