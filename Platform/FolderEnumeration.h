// Lists one folder, entry by entry, in the order the system returns them.
// Hidden entries come back too, and so do "." and "..". Only folders and
// regular files (or links to either) are reported: FIFOs, sockets and devices
// are no part of a site, and opening a FIFO would block for ever.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/File.h"
#include "Platform/HeldFolder.h"

#ifndef _WIN32
#include <dirent.h>
#endif

namespace platform {

struct FolderEntry {
    std::string name;
    bool isFolder = false;
    // For a folder, what it is, wherever the system tells that without
    // opening it: on Linux always, on Windows for links and junctions, the
    // only folders there that can lead back into one above them.
    std::optional<FileIdentity> identity;
};

class FolderEnumeration {
  public:
    explicit FolderEnumeration(const std::string& folder);
    // The subfolder `name` of the folder `parent` lists, whose full path is
    // `folder`: opened through the parent where the system allows, so that
    // no limit on the length of a path keeps a deep folder from being listed.
    FolderEnumeration(FolderEnumeration& parent, const std::string& name,
                      const std::string& folder);
    ~FolderEnumeration();
    FolderEnumeration(const FolderEnumeration&) = delete;
    FolderEnumeration& operator=(const FolderEnumeration&) = delete;

    // False when the folder could not be listed.
    bool IsOpen() const;

    // The folder being listed, once open.
    const FileIdentity& Identity() const { return identity_; }

    // The next entry; false when there are no more.
    bool Next(FolderEntry& entry);

    // The folder held open for opening its files, once open; empty where the
    // system opens files by path only, or when it cannot be held.
    SharedFolder Shared();

  private:
#ifdef _WIN32
    std::string folder_;
    // The search handle and the entry it found but Next has not yet reported.
    struct Search;
    std::unique_ptr<Search> search_;
#else
    void Open(int fd);

    DIR* dir_ = nullptr;
    SharedFolder shared_;
#endif
    FileIdentity identity_;
};

}  // namespace platform
