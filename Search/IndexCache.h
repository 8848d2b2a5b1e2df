// Where an archive's index is kept between runs: in the user's cache folder,
// under a name taken from the archive's identity, never beside the archive.
#pragma once

#include <string>
#include <string_view>

#include "Search/SearchIndex.h"

// The folder for the index files: "pelorine" in the user's cache folder;
// empty when the system names none.
std::string SearchCacheFolder();

// What tells one archive's bytes from another's: its size, the time it last
// changed and a hash of its header and index. Any change of the archive
// changes it; empty when the archive cannot be read.
std::string ArchiveIdentity(const std::string& archivePath);

// The index file's name for an archive of `identity`, for an index format
// (this program's unless told).
std::string IndexFileName(std::string_view identity, int format = kIndexFormat);
