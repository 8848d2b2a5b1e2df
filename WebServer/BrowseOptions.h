// The opt-in options for today's browsers. Each is off unless given on the
// command line; with all of them off the server answers exactly as it always
// has.
#pragma once

#include <cstdint>

// Memory for the bodies of large compressed pages, being decompressed or
// held for sending, unless --browse-memory-limit says otherwise: room for a
// few large pages at once on a small machine, well within a desktop's memory.
inline constexpr uint32_t kDefaultBrowseMemoryLimitMiB = 256;

struct BrowseOptions {
    // --browse-standard-types: an extension the fixed table lacks takes its
    // content type from the system's media-types list.
    bool StandardTypes = false;
    // --browse-decode-paths: a path that names no entry is tried once more
    // with its %HH escapes decoded.
    bool DecodePaths = false;
    // --browse-folder-index: a path ending in "/" (or empty) that names no
    // entry is answered with the folder's index.html.
    bool FolderIndex = false;
    // --browse-memory-limit MIB: the memory budget for large bodies, in MiB.
    // Only how much the server holds at once depends on it, never the bytes
    // it sends.
    uint32_t MemoryLimitMiB = kDefaultBrowseMemoryLimitMiB;
};
