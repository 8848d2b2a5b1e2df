#include "Shared/ArchiveState.h"

#include <new>

// Raw storage: a large allocation comes straight from the system as pages that
// cost nothing until they are written.
ArchiveState::ArchiveState()
    : EntryTable(static_cast<TItem*>(::operator new(sizeof(TItem) * kMaxEntries))) {}

ArchiveState& Archive = *new ArchiveState;

TItem& ArchiveState::NextEntry() {
    if (EntryCount == builtEntries_) {
        new (&EntryTable[builtEntries_]) TItem{};
        ++builtEntries_;
    }
    TItem& entry = EntryTable[EntryCount];
    entry = TItem{};
    return entry;
}

void ArchiveState::Reset() {
    for (uint32_t i = 0; i < builtEntries_; ++i) EntryTable[i] = TItem{};
    EntryCount = 0;
    Names.Clear();
    IndexOffset = 0;
    if (ArchiveHandle != platform::kInvalidFile) platform::CloseFile(ArchiveHandle);
    ArchiveHandle = platform::kInvalidFile;
}

void AppendIndexRecord(std::string& out, const TItem& item) {
    PutU32(out, item.UnpackedSize);
    PutU32(out, item.PackedSize);
    PutU32(out, item.DataOffset);
    size_t length = item.Name.size() < kMaxNameLength ? item.Name.size() : kMaxNameLength;
    PutU16(out, static_cast<uint16_t>(length));
    out.append(item.Name, 0, length);
}
