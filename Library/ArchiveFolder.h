// The archives a library folder holds now: each one's file name and stamp,
// which tell whether it was added, replaced or removed since the last look.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Platform/File.h"

// Archives served from one folder at most: each keeps its file open, and the
// start page lists them all. Those beyond are reported, not served.
inline constexpr size_t kMaxLibraryArchives = 4096;

struct ArchiveFile {
    std::string FileName;  // in the folder; for a single archive, its whole path
    platform::FileStamp Stamp;
    bool operator==(const ArchiveFile& other) const {
        return FileName == other.FileName && Stamp.Id == other.Stamp.Id &&
               Stamp.Size == other.Stamp.Size &&
               Stamp.ModifiedSeconds == other.Stamp.ModifiedSeconds &&
               Stamp.ModifiedNanoseconds == other.Stamp.ModifiedNanoseconds;
    }
};

struct FolderListing {
    bool Listed = false;  // false: the folder could not be read (Error says why)
    std::string Error;
    int ErrorNumber = 0;                // the system's, then
    std::vector<ArchiveFile> Archives;  // by file name, byte order
    size_t Beyond = 0;                  // archives left out past kMaxLibraryArchives
    bool operator==(const FolderListing&) const = default;
};

// The archives directly in `folder` (files whose names end in ".pel", in any
// case, or links to such files). Other files cost one look at their name.
FolderListing ListArchiveFolder(const std::string& folder);

// The one archive at `path`, as a listing of one (or of none, when no file
// is there now).
FolderListing ListOneArchive(const std::string& path);

// The path of `file` in `folder`; for a single archive, `folder` is empty.
std::string ArchivePath(const std::string& folder, const ArchiveFile& file);
