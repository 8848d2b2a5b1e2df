// Finding an entry of a loaded archive by a name as a browser or a user
// writes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Shared/LoadedArchive.h"

// The path in the form entry names are stored in: every "\" made "/", then
// leading and trailing "/" removed. Nothing else changes: no decoding, no
// "." or ".." handling, no merging of "//", no change of case.
std::string NormalizePath(const std::string& path);

struct EntryMatch {
    bool Found = false;
    uint32_t Index = 0;  // the entry count when nothing matched
};

// The first entry of `archive`, in index order, whose Name equals
// `normalizedPath` without regard to ASCII case, looked up in its name index
// rather than by a scan of its entries.
EntryMatch FindEntry(const LoadedArchive& archive, std::string_view normalizedPath);
