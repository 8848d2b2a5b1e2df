// What a browser keeps of a found entry to ask later whether it changed: an
// entity tag for the archive's version and the entry, and the archive's time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Platform/File.h"
#include "WebServer/AcceptEncoding.h"

// One version of the served archive file.
struct ArchiveVersion {
    // Folds the file's identity, size and time of writing: a recompiled or
    // replaced archive gets another, so no old tag ever matches it.
    uint64_t Identity = 0;
    int64_t LastModified = 0;  // seconds since 1970-01-01 UTC
};

ArchiveVersion ArchiveVersionOf(const platform::FileStamp& stamp);

// The strong entity tag, quotes included, of entry `entry` of `version`.
std::string EntityTagOf(const ArchiveVersion& version, uint32_t entry);

// The tag of the entry's body in `coding`: another for each coding, as a cache
// must not take one for the other.
std::string EntityTagOf(const ArchiveVersion& version, uint32_t entry, ContentCoding coding);

// Whether an If-None-Match value names `tag` (or is "*"), comparing tags
// without regard to the weak mark "W/".
bool NoneMatchHits(std::string_view ifNoneMatch, std::string_view tag);

// Whether an If-Range value names the body as it is now: exactly `tag` (a
// weak tag never does), or exactly the time `lastModified`.
bool RangeConditionHolds(std::string_view ifRange, std::string_view tag, int64_t lastModified);
