// What the search reads of an archive, however the archive is held: the
// entries' names and sizes, and a way to read an entry's content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SearchSource {
    // By entry number: an entry's position in the archive's table.
    std::vector<std::string> Names;
    std::vector<uint32_t> Sizes;  // content lengths
    // Reads the first `limit` bytes of entry `entry`'s content (all of it
    // when shorter); false when they cannot be read. Called from several
    // threads at once.
    std::function<bool(uint32_t entry, size_t limit, std::string& content)> ReadContent;
};
