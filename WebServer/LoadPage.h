// The page a request path resolves to: an entry's content, or a line saying
// why there is none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Shared/LoadedArchive.h"
#include "WebServer/BrowseOptions.h"
#include "WebServer/MimeTypes.h"
#include "WebServer/PageKind.h"
#include "WebServer/ResponseBody.h"

struct Site;

struct Page {
    std::string Body;         // any bytes, NUL included
    std::string ContentType;  // never empty
    PageKind Kind = PageKind::Entry;
    uint32_t Entry = 0;  // the entry's index, for Kind Entry
};

// A page as connections send it: the body may be shared with the cache, or
// be a stretch of the archive file.
struct SharedPage {
    ResponseBody Body;
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
// whole entry with positional reads. A path that names no entry gives the
// text "Cannot find the specified page: " and the path as sent, normalised,
// as text/plain; so does, with its own text, an entry whose recorded sizes
// cannot be real for the archive. Throws std::bad_alloc when memory runs out.
Page LoadPage(const LoadedArchive& archive, const std::string& path,
              const PageRules& rules = PageRules{});

// The answer to a path that names no page: the text "Cannot find the
// specified page: " and the path, normalised, as text/plain.
SharedPage NotFoundPage(const std::string& normalizedPath);

// What a request comes to on an event loop: the page ready to send, or the
// compressed entry whose body the loader pool must make first.
struct PageStart {
    std::optional<SharedPage> Ready;
    uint32_t Entry = 0;       // the entry found; when not Ready, the one to make
    std::string ContentType;  // of the page, ready or not
};

// The same page as LoadPage, resolved once and without any slow work: a
// body the cache or a connection holds is shared; a stored entry larger than
// kQuickLoadBytes is sent from the archive file as it goes; one as large
// that is compressed is left to the loader pool (Site::Bodies); anything
// smaller is read here and kept in the cache.
PageStart StartPage(Site& site, const std::string& path);

// Bytes read or decompressed in well under a millisecond: what an event loop
// may read at once without holding up its other connections.
inline constexpr uint32_t kQuickLoadBytes = 256 * 1024;
