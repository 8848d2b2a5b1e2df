#include "Shared/EntryTable.h"

#include <new>

// Raw storage: a large allocation comes straight from the system as pages that
// cost nothing until they are written.
TItem* const EntryTable = static_cast<TItem*>(::operator new(sizeof(TItem) * kMaxEntries));
uint32_t EntryCount = 0;

namespace {

// Records EntryTable[0 .. builtEntries - 1] have been constructed. Only the
// thread that fills the table touches it.
uint32_t builtEntries = 0;

}  // namespace

TItem& NextEntry() {
    if (EntryCount == builtEntries) {
        new (&EntryTable[builtEntries]) TItem{};
        ++builtEntries;
    }
    TItem& entry = EntryTable[EntryCount];
    entry = TItem{};
    return entry;
}
platform::FileHandle ArchiveHandle = platform::kInvalidFile;
uint32_t WritePosition = 0;

void AppendIndexRecord(std::string& out, const TItem& item) {
    PutU32(out, item.UnpackedSize);
    PutU32(out, item.PackedSize);
    PutU32(out, item.DataOffset);
    size_t length = item.Name.size() < kMaxNameLength ? item.Name.size() : kMaxNameLength;
    PutU16(out, static_cast<uint16_t>(length));
    out.append(item.Name, 0, length);
}

void ResetEntryTable() {
    for (uint32_t i = 0; i < builtEntries; ++i) EntryTable[i] = TItem{};
    EntryCount = 0;
    WritePosition = 0;
    if (ArchiveHandle != platform::kInvalidFile) platform::CloseFile(ArchiveHandle);
    ArchiveHandle = platform::kInvalidFile;
}
