#include "Shared/NameIndex.h"

#include <algorithm>

#include "Platform/LargePages.h"
#include "Shared/AnsiText.h"

namespace {

// FNV-1a over the lower-cased bytes, so that names differing only in ASCII
// case fall into the same chain.
uint32_t HashIgnoringAsciiCase(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(LowerAsciiChar(c));
        hash *= 16777619u;
    }
    return hash;
}

void Prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address, 1);
#else
    (void)address;
#endif
}

size_t SlotCountFor(uint32_t count) {
    size_t slots = 16;
    while (slots < size_t{count} * 2) slots *= 2;
    return slots;
}

}  // namespace

void NameIndex::Build(const EntryTable& entries) {
    const uint32_t count = entries.size();
    slots_.clear();
    slots_.reserve(SlotCountFor(count));
    platform::PreferLargePages(slots_.data(), slots_.capacity() * sizeof(Slot));
    slots_.resize(SlotCountFor(count));
    count_ = count;
    const size_t mask = slots_.size() - 1;
    // A table of a quarter of a million names is larger than the caches:
    // the slots of a batch are asked for ahead, so that their misses overlap
    // rather than follow one another.
    constexpr uint32_t kBatch = 16;
    uint32_t hashes[kBatch];
    for (uint32_t first = 0; first < count; first += kBatch) {
        const uint32_t end = std::min(count, first + kBatch);
        for (uint32_t index = first; index < end; ++index) {
            hashes[index - first] = HashIgnoringAsciiCase(entries[index].Name);
            Prefetch(&slots_[hashes[index - first] & mask]);
        }
        for (uint32_t index = first; index < end; ++index) {
            const uint32_t hash = hashes[index - first];
            for (size_t at = hash & mask;; at = (at + 1) & mask) {
                Slot& slot = slots_[at];
                if (slot.entryPlusOne == 0) {
                    slot = {hash, index + 1};
                    break;
                }
                // An earlier entry of the same name wins.
                if (slot.hash == hash && EqualIgnoringAsciiCase(entries[slot.entryPlusOne - 1].Name,
                                                                entries[index].Name)) {
                    break;
                }
            }
        }
    }
}

uint32_t NameIndex::Find(const EntryTable& entries, std::string_view name) const {
    if (slots_.empty()) return count_;
    const size_t mask = slots_.size() - 1;
    const uint32_t hash = HashIgnoringAsciiCase(name);
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.entryPlusOne == 0) return count_;
        if (slot.hash == hash &&
            EqualIgnoringAsciiCase(entries[slot.entryPlusOne - 1].Name, name)) {
            return slot.entryPlusOne - 1;
        }
    }
}
