// Which site answers a request: the one archive a server serves, or, for a
// library (and a single archive that is reloaded), the archive the request's
// path names in the snapshot current when it starts. The library's own pages
// (its start page and JSON) and its search across every archive are answered
// here. Decided once per request, in the routing step: the plan holds the
// snapshot, and so the archive, until the request ends.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Library/LiveLibrary.h"
#include "WebServer/PageKind.h"
#include "WebServer/PageRules.h"
#include "WebServer/ResponseBody.h"
#include "WebServer/Route.h"

struct Site;
class AccessLog;
class LoaderPool;

// One of the library's own pages, whole.
struct LibraryPage {
    ResponseBody Body;
    std::string ContentType;
    PageKind Kind = PageKind::Made;
};

// What the library step chose for a request path.
struct SiteChoice {
    // The site that answers, with the path inside its archive; null when
    // Ready holds the answer or a search across the library is asked.
    Site* Where = nullptr;
    std::string Path;
    // The archive chosen, from the snapshot held.
    const LibraryArchive* Archive = nullptr;
    std::optional<LibraryPage> Ready;
    // A search across the library (its page or JSON; Path says which).
    bool LibrarySearch = false;
    // Keeps what Where and Archive point into until the request ends.
    std::shared_ptr<const LibrarySnapshot> Holds;
};

// The library step, a pure function of the snapshot and the request path
// (before its "?"): "/", "/index.html" and kLibraryJsonPath are the library's
// own pages, and with `search` its search's two paths; "/SEGMENT" and
// "/SEGMENT/PATH" are PATH of that archive. Anything else is not found, with
// the text and kind a single archive answers it with. A snapshot of one
// archive at the root (Folder empty) gives it every path as it is. `path` is
// below the server's root, `root`, which the library's own pages' links carry.
SiteChoice ChooseSite(std::shared_ptr<const LibrarySnapshot> snapshot, const std::string& path,
                      bool search, std::string_view root = {});

class ServedSites {
  public:
    // The one archive, every request: the default, unchanged. Each response
    // is logged to `log` when there is one (--browse-access-log).
    ServedSites(Site& single, const PageRules& rules, AccessLog* log = nullptr)
        : single_(&single), rules_(rules), log_(log) {}
    // The current snapshot of `library` for each request; a search across
    // it runs on `loaders`.
    ServedSites(const LiveLibrary& library, const PageRules& rules, LoaderPool& loaders,
                AccessLog* log = nullptr)
        : library_(&library), rules_(rules), loaders_(&loaders), log_(log) {}

    const PageRules& Rules() const { return rules_; }
    // Owned by the server thread, outliving the event loops.
    AccessLog* Log() const { return log_; }

    // The routing step: the plan for `request`, read whole. The root
    // (--browse-url-root) is taken off its path here, before the library
    // chooses an archive. `keepOpen`: the connection may stay open after the
    // response.
    RequestPlan Route(const RequestHead& request, bool keepOpen = false) const;

  private:
    Site* single_ = nullptr;
    const LiveLibrary* library_ = nullptr;
    const PageRules& rules_;
    LoaderPool* loaders_ = nullptr;
    AccessLog* log_ = nullptr;
};
