// The title a library's start page shows for an archive.
#pragma once

#include <string>

#include "Shared/LoadedArchive.h"

// Of a start page, only this much is read for its title: a title comes first
// in a page's head, and the library's start waits for every archive's.
inline constexpr size_t kTitleReadBytes = size_t{64} * 1024;

// The <title> of the archive's index.html (else its first heading), as the
// search reads it: entities decoded, white space made single spaces, at most
// kMaxTitleBytes. Empty when it has no such page or the page no title.
std::string StartPageTitle(const LoadedArchive& archive);
