// Finds an entry by name, without regard to ASCII case, in constant time.
//
// Thread safety: built once after the table is loaded and before any lookup;
// afterwards lookups from any number of threads only read it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "Shared/EntryTable.h"

class NameIndex {
  public:
    // Indexes `entries`. Of names that are equal without regard
    // to ASCII case only the first in table order is kept, so a lookup gives
    // what a scan from index 0 would.
    void Build(const EntryTable& entries);

    // The position in `entries` (as given to Build) of the first entry whose
    // name equals `name` without regard to ASCII case; their count when there
    // is none.
    uint32_t Find(const EntryTable& entries, std::string_view name) const;

  private:
    struct Slot {
        uint32_t hash = 0;
        uint32_t entryPlusOne = 0;  // 0: the slot is free
    };

    std::vector<Slot> slots_;  // open addressing, a power of two, at most half full
    uint32_t count_ = 0;
};
