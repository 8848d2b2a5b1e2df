// One search across a library (--browse-library with --browse-search): every
// archive's own index is asked, the results are ranked together and each is
// labelled with its archive; indexes still being built are named instead.
#pragma once

#include <string>

#include "Library/LibrarySnapshot.h"
#include "WebServer/PageCache.h"

// The content type of the answer to `normalizedPath` (the search page or its
// JSON).
std::string LibrarySearchType(const std::string& normalizedPath);

// The answer to `normalizedPath` with `queryString` (after the "?") over
// every served archive of `snapshot`, its links under `root` (the server's
// --browse-url-root). It takes milliseconds: an event loop leaves it to the
// loader pool.
SharedBody LibrarySearchBody(const LibrarySnapshot& snapshot, const std::string& normalizedPath,
                             const std::string& queryString, std::string_view root = {});
