// The library a server serves while its folder (or its one archive) changes:
// the current snapshot, replaced whole when a look finds a file added,
// replaced or removed.
//
// Thread safety: Current may be called from any thread at any time; Look is
// called by one thread at a time (the server's start, then its watch).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Library/LibrarySnapshot.h"

class LiveLibrary {
  public:
    using NoteFunction = std::function<void(const std::string& line)>;

    // `folder`: the library's folder; or, with `singleArchive`, the path of
    // the one archive served at the root.
    LiveLibrary(std::string folder, bool singleArchive, ArchiveLoader load, NoteFunction note);

    // Lists the folder and, when anything changed, loads what is new and
    // swaps the snapshot. A single archive that is gone keeps being served
    // until a file is there again.
    void Look();

    // The snapshot a request starts with; it holds its archives open for as
    // long as it is held.
    std::shared_ptr<const LibrarySnapshot> Current() const;

  private:
    const std::string folder_;
    const bool single_;
    const ArchiveLoader load_;
    const NoteFunction note_;
    mutable std::mutex lock_;
    std::shared_ptr<const LibrarySnapshot> current_;
};
