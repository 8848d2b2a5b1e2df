// How the server answers the site's search (--browse-search): the search page
// and its JSON at their fixed paths, unless an archive entry has that name.
#pragma once

#include <string>

#include "Search/SiteSearch.h"
#include "Shared/LoadedArchive.h"
#include "WebServer/BrowseOptions.h"
#include "WebServer/LoadPage.h"

// Whether `path` (the request target before its "?") asks for the search
// page or its JSON: never when no search runs, nor when the path finds an
// archive entry (an entry always wins).
bool AsksForSearch(const SiteSearch* search, const LoadedArchive& archive, const std::string& path,
                   const BrowseOptions& options);

// The search's answer to `path` with `query` (the target after its "?"). It
// takes milliseconds: a connection's thread leaves it to a loading thread.
SharedPage SearchPage(const SiteSearch& search, const std::string& path, const std::string& query);
