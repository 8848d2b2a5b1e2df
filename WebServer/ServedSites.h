// Which site answers a request: the one archive a server serves, or, for a
// library (and a single archive that is reloaded), the archive the request's
// path names in the snapshot current when it starts. The library's own pages
// (its start page and JSON) are answered here too. Decided once per request;
// the choice holds the snapshot, and so the archive, until the request ends.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Library/LiveLibrary.h"
#include "WebServer/LoadPage.h"

struct Site;

// What the library step chose for a request.
struct SiteChoice {
    // The site that answers, with the path inside its archive; null when
    // Ready holds the answer (or a library search is asked).
    Site* Where = nullptr;
    std::string Path;
    // The archive chosen, from the snapshot held.
    const LibraryArchive* Archive = nullptr;
    // The library's own page, whole.
    std::optional<SharedPage> Ready;
    // A search across the library (its page or JSON), made on the loader pool.
    bool LibrarySearch = false;
    // Keeps what Where points into until the request ends.
    std::shared_ptr<const LibrarySnapshot> Holds;
};

// The library step, a pure function of the snapshot and the request path
// (before its "?"): "/", "/index.html" and kLibraryJsonPath are the library's
// own pages, and with `search` its search's two paths; "/SEGMENT" and
// "/SEGMENT/PATH" are PATH of that archive. Anything else is not found, with
// the text and kind a single archive answers it with. A snapshot of one
// archive at the root (Folder empty) gives it every path as it is.
SiteChoice ChooseSite(std::shared_ptr<const LibrarySnapshot> snapshot, const std::string& path,
                      bool search);

class ServedSites {
  public:
    // The one archive, every request: the default, unchanged.
    explicit ServedSites(Site& single, const PageRules& rules) : single_(&single), rules_(rules) {}
    // The current snapshot of `library` for each request.
    ServedSites(const LiveLibrary& library, const PageRules& rules)
        : library_(&library), rules_(rules) {}

    const PageRules& Rules() const { return rules_; }

    SiteChoice Choose(const std::string& path) const;

  private:
    Site* single_ = nullptr;
    const LiveLibrary* library_ = nullptr;
    const PageRules& rules_;
};
