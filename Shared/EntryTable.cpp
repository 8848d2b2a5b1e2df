#include "Shared/EntryTable.h"

TItem* const EntryTable = new TItem[kMaxEntries];
uint32_t EntryCount = 0;
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
    for (uint32_t i = 0; i < EntryCount; ++i) EntryTable[i] = TItem{};
    EntryCount = 0;
    WritePosition = 0;
    if (ArchiveHandle != platform::kInvalidFile) platform::CloseFile(ArchiveHandle);
    ArchiveHandle = platform::kInvalidFile;
}
