// What one running server serves: the loaded archive, how paths resolve and
// pages are typed, and the bodies kept or shared between requests. The server
// thread makes it when it starts and passes it to every event loop,
// connection and page load; nothing of it is process-wide.
#pragma once

#include <cstddef>
#include <utility>

#include "Shared/LoadedArchive.h"
#include "WebServer/LargeBodies.h"
#include "WebServer/LoaderPool.h"
#include "WebServer/PageCache.h"
#include "WebServer/PageRules.h"
#include "WebServer/ResponseCompression.h"
#include "WebServer/Validators.h"

class AccessLog;
class SiteSearch;

struct Site {
    Site(const LoadedArchive& archive, PageRules rules, ArchiveVersion version, LoaderPool& loaders,
         size_t budgetBytes)
        : Archive(archive),
          Rules(std::move(rules)),
          Version(version),
          Loaders(loaders),
          Bodies(archive, Cache, loaders, budgetBytes) {}
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    const LoadedArchive& Archive;
    const PageRules Rules;
    // The archive's version, for the validators.
    const ArchiveVersion Version;
    // The fixed threads for work too slow for an event loop.
    LoaderPool& Loaders;
    PageCache Cache{kPageCacheBytes};
    // After the cache, which it adds to: it ends first.
    LargeBodies Bodies;
    // Gzip forms of entries' bodies, with --browse-compress: an empty body
    // says that the entry's does not shrink, so that it is not tried again.
    PageCache Compressed{kCompressedCacheBytes};
    // The access log, with --browse-access-log only: owned by the server
    // thread, outliving the event loops.
    AccessLog* Log = nullptr;
    // The site's search, with --browse-search only: owned by the server
    // thread, set before the first connection is served.
    const SiteSearch* Search = nullptr;
};
