// The page a request path resolves to: an entry's content, or a line saying
// why there is none.
#pragma once

#include <cstdint>
#include <string>

struct Page {
    std::string Body;         // any bytes, NUL included
    std::string ContentType;  // never empty
};

// Resolves `path` (the request target before its first "?", not decoded)
// against Archive's loaded entry table and reads the entry from its
// ArchiveHandle under its ArchiveLock. A path that names no entry gives the text "Cannot find the
// specified page: " and the normalised path, as text/plain; so does, with its
// own text, an entry whose recorded sizes cannot be real for the archive.
// Throws std::bad_alloc when memory runs out.
Page LoadPage(const std::string& path);
