// Lists one folder, entry by entry, in the order the system returns them.
// Hidden entries come back too, and so do "." and "..". Only folders and
// regular files (or links to either) are reported: FIFOs, sockets and devices
// are no part of a site, and opening a FIFO would block for ever.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#ifndef _WIN32
#include <dirent.h>
#endif

namespace platform {

struct FolderEntry {
    std::string name;
    bool isFolder = false;
};

class FolderEnumeration {
  public:
    explicit FolderEnumeration(const std::string& folder);
    ~FolderEnumeration();
    FolderEnumeration(const FolderEnumeration&) = delete;
    FolderEnumeration& operator=(const FolderEnumeration&) = delete;

    // False when the folder could not be listed.
    bool IsOpen() const;

    // The next entry; false when there are no more. A folder that is already
    // being listed further up on this thread (reached again through a link)
    // is passed over, so no walk can loop for ever.
    bool Next(FolderEntry& entry);

  private:
    std::string folder_;
#ifdef _WIN32
    // The search handle and the entry it found but Next has not yet reported.
    struct Search;
    std::unique_ptr<Search> search_;
#else
    DIR* dir_ = nullptr;
#endif
    std::pair<uint64_t, uint64_t> id_{};
};

}  // namespace platform
