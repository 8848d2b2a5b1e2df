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

// The index file's name for an archive of `identity` at `place` (its path
// as the program was given it): one name per archive and place.
std::string IndexFileName(std::string_view place, std::string_view identity);

// The name an index of an earlier format had: from the identity alone.
std::string EarlierIndexFileName(std::string_view identity, int format);

// Removes the indexes in `folder` made earlier for the archive at `place`,
// all but `keptName`: each recompile of an archive makes a new identity, and
// the cache would otherwise keep every version's index for good.
void RemoveEarlierIndexes(const std::string& folder, std::string_view place,
                          std::string_view keptName);
