// From a request path to the entry that holds it.
#pragma once

#include <cstdint>
#include <string>

// The path in the form entry names are stored in: every "\" made "/", then
// leading and trailing "/" removed. Nothing else changes: no decoding, no
// "." or ".." handling, no merging of "//", no change of case.
std::string NormalizePath(const std::string& path);

struct EntryMatch {
    bool Found = false;
    uint32_t Index = 0;  // EntryCount when nothing matched
};

// The first entry of EntryTable, in table order, whose Name equals
// `normalizedPath` without regard to ASCII case, looked up in Archive.Names
// (built by LoadIndex) rather than by a scan of the table.
EntryMatch FindEntry(const std::string& normalizedPath);
