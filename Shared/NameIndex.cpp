#include "Shared/NameIndex.h"

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

size_t SlotCountFor(uint32_t count) {
    size_t slots = 16;
    while (slots < size_t{count} * 2) slots *= 2;
    return slots;
}

}  // namespace

void NameIndex::Build(const std::vector<TItem>& entries) {
    const auto count = static_cast<uint32_t>(entries.size());
    slots_.assign(SlotCountFor(count), Slot{});
    count_ = count;
    const size_t mask = slots_.size() - 1;
    for (uint32_t index = 0; index < count; ++index) {
        const std::string& name = entries[index].Name;
        const uint32_t hash = HashIgnoringAsciiCase(name);
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.entryPlusOne == 0) {
                slot = {hash, index + 1};
                break;
            }
            // An earlier entry of the same name wins.
            if (slot.hash == hash &&
                EqualIgnoringAsciiCase(entries[slot.entryPlusOne - 1].Name, name)) {
                break;
            }
        }
    }
}

uint32_t NameIndex::Find(const std::vector<TItem>& entries, std::string_view name) const {
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
