// One archive as a running server serves it: the loaded archive, how paths
// resolve and pages are typed, and the bodies kept or shared between
// requests. The server thread makes it when it starts (a library, whenever
// it loads an archive) and passes it to every event loop, connection and page
// load; nothing of it is process-wide.
#pragma once

#include <memory>
#include <string>

#include "Shared/LoadedArchive.h"
#include "WebServer/LargeBodies.h"
#include "WebServer/LoaderPool.h"
#include "WebServer/PageCache.h"
#include "WebServer/PageRules.h"
#include "WebServer/ResponseCompression.h"
#include "WebServer/Validators.h"

class SiteSearch;

struct Site {
    // `bodies` is the server's store of large bodies, over the cache whose
    // part `cache` is.
    Site(std::shared_ptr<const LoadedArchive> archive, const PageRules& rules,
         ArchiveVersion version, LoaderPool& loaders, SiteCache cache, SiteCache compressed,
         LargeBodies& bodies)
        : Archive(*archive),
          Rules(rules),
          Version(version),
          Loaders(loaders),
          Cache(cache),
          Bodies(bodies, std::move(archive), cache.Archive()),
          Compressed(compressed) {}
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    const LoadedArchive& Archive;
    // The server's, shared by every archive it serves.
    const PageRules& Rules;
    // The archive's version, for the validators.
    const ArchiveVersion Version;
    // The fixed threads for work too slow for an event loop.
    LoaderPool& Loaders;
    // Its part of the server's cache.
    const SiteCache Cache;
    // Its part of the server's one store of large bodies.
    SiteBodies Bodies;
    // Compressed forms of entries' bodies, with --browse-compress, each
    // coding's apart (CompressedFormsOf): an empty body
    // says that the entry's does not shrink, so that it is not tried again.
    // Its part of the server's one cache of them (kCompressedCacheBytes), so
    // that a library's archives share it.
    const SiteCache Compressed;
    // The site's search, with --browse-search only: owned by the server
    // thread, set before the first connection is served.
    const SiteSearch* Search = nullptr;
    // Where its paths start: the server's root (--browse-url-root), then in a
    // library "/" and its name's segment; empty for an archive at "/".
    std::string Root;
};
