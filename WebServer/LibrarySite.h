// An archive of a library (or a reloaded single archive) as the server keeps
// it: the loaded archive and its search live as long as its site, which the
// snapshots and the requests that hold it share.
#pragma once

#include <memory>

#include "Search/SiteSearch.h"
#include "Shared/LoadedArchive.h"
#include "WebServer/Site.h"

struct LibrarySite {
    LibrarySite(std::shared_ptr<const LoadedArchive> archive, const PageRules& rules,
                LoaderPool& loaders, SiteCache cache, SiteCache compressed, LargeBodies& bodies)
        : Archive(std::move(archive)),
          Served(Archive, rules, ArchiveVersionOf(platform::FileStampOf(Archive->File())), loaders,
                 cache, compressed, bodies) {}

    const std::shared_ptr<const LoadedArchive> Archive;
    // Set before the site is first served; it ends after the site.
    std::unique_ptr<SiteSearch> Search;
    Site Served;
};
