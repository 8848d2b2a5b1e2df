// The archives a server serves at one moment, as one value that is never
// changed: a change in the folder makes a new snapshot, swapped in whole.
// Each request holds the snapshot (and so the open archives) it started with;
// the last holder of a replaced or removed archive closes its file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Library/ArchiveFolder.h"
#include "Shared/LoadedArchive.h"

struct Site;

// One archive of the library, served or not.
struct LibraryArchive {
    ArchiveFile File;
    std::string Name;     // the file name without ".pel"
    std::string Segment;  // Name as one URL path segment: it is served under /Segment/
    std::string Title;    // its index.html's title, else Name
    uint32_t EntryCount = 0;
    // Why it is not served; empty when it is.
    std::string Problem;
    int ErrorNumber = 0;                           // the system's, when it could not be opened
    std::shared_ptr<const LoadedArchive> Archive;  // when served
    // What the server keeps for serving it (its caches and search), made by
    // the server when the archive is loaded.
    std::shared_ptr<Site> Served;
};

struct LibrarySnapshot {
    std::string Folder;  // empty: a single archive, served at the root
    FolderListing Listing;
    // In the listing's order; those with a Problem are listed, not served.
    std::vector<std::shared_ptr<const LibraryArchive>> Archives;
    // Lines for the console about the folder as a whole (case clashes,
    // archives beyond the limit), new in this snapshot.
    std::vector<std::string> Notes;
};

// Loads the archive that `file` of `folder` is, for the snapshot.
using ArchiveLoader = std::function<std::shared_ptr<const LibraryArchive>(const std::string& folder,
                                                                          const ArchiveFile& file)>;

// The snapshot of `listing` of `folder`: every archive whose file is the same
// as in `previous` (name, identity, size and time) is taken over as it is,
// the others are loaded with `load`.
std::shared_ptr<const LibrarySnapshot> NextSnapshot(const LibrarySnapshot* previous,
                                                    const std::string& folder,
                                                    FolderListing listing,
                                                    const ArchiveLoader& load);

// The served archive a request's first path segment names: its segment as
// written, else the same percent-decoded as the name, else the one name that
// equals it without regard to ASCII case. Null when none is served so.
std::shared_ptr<const LibraryArchive> FindArchive(const LibrarySnapshot& snapshot,
                                                  std::string_view segment);

// The library's own loading of an archive: opened so that it may be replaced,
// its title read; damage that leaves nothing to serve is its Problem. A single
// archive (`folder` empty) is served whatever its damage, as without
// reloading.
LibraryArchive LoadLibraryArchive(const std::string& folder, const ArchiveFile& file);
