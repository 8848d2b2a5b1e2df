// Which body of which archive: an entry's index, with the number of its
// archive above it, so that the archives of a library share one cache and one
// budget for large bodies. The one archive a server serves alone is number 0.
#pragma once

#include <cstdint>

using BodyKey = uint64_t;

constexpr BodyKey BodyKeyOf(uint32_t archive, uint32_t entry) {
    return BodyKey{archive} << 32 | entry;
}

constexpr uint32_t ArchiveOfKey(BodyKey key) {
    return static_cast<uint32_t>(key >> 32);
}

constexpr uint32_t EntryOfKey(BodyKey key) {
    return static_cast<uint32_t>(key);
}
