// How the server answers the site's search (--browse-search): the search page
// and its JSON at their fixed paths, unless an archive entry has that name.
#pragma once

#include <optional>
#include <string>

#include "Search/SiteSearch.h"
#include "Shared/LoadedArchive.h"
#include "WebServer/BrowseOptions.h"
#include "WebServer/PageCache.h"

// The content type of the search's answer when `path` (the request target
// before its "?") asks for the search page or its JSON; nothing when no
// search runs, or when the path finds an archive entry (an entry always wins).
std::optional<std::string> SearchAsked(const SiteSearch* search, const LoadedArchive& archive,
                                       const std::string& path, const BrowseOptions& options);

// The search's answer to `path` with `query` (the target after its "?"), its
// links under `root` (an archive's prefix in a library). It takes
// milliseconds: an event loop leaves it to the loader pool.
SharedBody SearchBody(const SiteSearch& search, const std::string& path, const std::string& query,
                      const std::string& root = {});
