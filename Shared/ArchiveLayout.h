// The archive's byte layout, written and read in one place:
//
//   0                 4-byte IndexOffset
//   4                 data area: each entry's stored bytes, back to back
//   IndexOffset       index records to the end of the file:
//                       UnpackedSize u32, PackedSize u32, DataOffset u32,
//                       name length u16, name bytes
//
// Every integer is unsigned little-endian. There is no magic number or count:
// the end of the file ends the index. Everything here works on bytes in
// memory; opening, reading and writing files is LoadedArchive's and
// ArchiveWriter's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Shared/EntryTable.h"

// Most entries an archive can hold.
inline constexpr uint32_t kMaxEntries = 262144;

// Size of the header that holds IndexOffset.
inline constexpr uint32_t kHeaderSize = 4;

// Size of an index record before its name.
inline constexpr size_t kIndexRecordFixedSize = 14;

// Longest name a record can carry: the range of its 16-bit length.
inline constexpr size_t kMaxNameLength = 0xFFFF;

// Positions are sought to with a signed 32-bit distance, so the data area and
// every offset must stay below 2 GiB.
inline constexpr uint64_t kMaxArchiveOffset = (uint64_t{1} << 31) - 1;

// One entry of an archive as the compiler makes it.
struct TItem {
    std::string Name;           // path below the compiled folder, "/" between levels
    uint32_t DataOffset = 0;    // where its stored bytes start in the archive
    uint32_t PackedSize = 0;    // length of its LZO1X stream; 0 when stored raw
    uint32_t UnpackedSize = 0;  // length of its content

    // Seen as a loaded entry is, for what reads either kind.
    // NOLINTNEXTLINE(google-explicit-constructor)
    operator EntryView() const { return {Name, DataOffset, PackedSize, UnpackedSize}; }
};

inline void PutU32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

inline void PutU16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

inline uint32_t GetU32(const unsigned char* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

inline uint16_t GetU16(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// --- The header ---

// The header's bytes for an index starting at `indexOffset`.
std::string HeaderBytes(uint32_t indexOffset);

// The IndexOffset a header holds. A header cut short reads as if the missing
// bytes were zeros.
uint32_t ParseHeader(std::string_view bytes);

// --- The index ---

// Appends the index record of `item` to `out`, in disk order. A name longer
// than kMaxNameLength is cut to it.
void AppendIndexRecord(std::string& out, const TItem& item);

// The entry held by the whole record at `record` (fixed part and name).
EntryView ViewOfRecord(const char* record);

// An index as read, with what reading it noticed that the compiler never writes.
struct ParsedIndex {
    EntryTable Entries;                 // never more than kMaxEntries
    bool LastRecordCut = false;         // the end of the bytes cuts the last record short
    bool MoreRecordsThanTable = false;  // bytes remain after kMaxEntries records
};

// Reads an index from bytes that arrive in pieces, so that a file need not be
// held in memory whole. A record cut short by the end is kept all the same
// once its first field is there: the fields and name bytes that are missing
// read as zeros.
class IndexParser {
  public:
    // Takes the whole records at the front of `bytes` and returns how many
    // bytes they held; the caller passes the rest again with more behind it.
    // With `atEnd`, `bytes` reaches the end of the index, and everything is
    // taken.
    size_t Parse(std::string_view bytes, bool atEnd);

    // Room for an index of `bytes` bytes, allocated at once.
    void Expect(size_t bytes);

    // True once the table holds kMaxEntries records: further bytes only tell
    // MoreRecordsThanTable.
    bool Full() const { return index_.Entries.size() == kMaxEntries; }

    // The index, once the end has been parsed.
    ParsedIndex Take() { return std::move(index_); }

  private:
    ParsedIndex index_;
};

// The index held by `bytes`, everything from IndexOffset to the end of the file.
ParsedIndex ParseIndex(std::string_view bytes);

// --- A whole archive ---

// What reading an archive noticed that the compiler never writes. The archive
// is read all the same; the archive tool's verify reports these.
struct IndexReport {
    bool HeaderCut = false;             // the file is shorter than its 4-byte header
    bool IndexOffsetOutside = false;    // IndexOffset lies past the end of the file,
                                        // or cannot be sought to (2 GiB or more)
    bool LastRecordCut = false;         // the end of the file cuts the last record short
    bool MoreRecordsThanTable = false;  // index bytes remain after kMaxEntries records
};

// Where an archive's index starts, from its first bytes: `header`, shorter
// than kHeaderSize only when the archive is.
struct IndexStart {
    uint32_t Offset = 0;
    // False for an offset that cannot be sought to: reading on from the
    // header would take the data area for the index, so nothing is read.
    bool Readable = false;
};
IndexStart LocateIndex(std::string_view header, uint64_t archiveSize, IndexReport& noticed);

// The entries of `index`, with what parsing it noticed added to `noticed`.
EntryTable EntriesOf(ParsedIndex index, IndexReport& noticed);

// An archive's index as a reader of the whole archive finds it.
struct ArchiveIndex {
    uint32_t IndexOffset = 0;
    EntryTable Entries;  // never more than kMaxEntries
    IndexReport Noticed;
};

// The index of the archive held whole in `archive`, read as a reader of the
// file reads it.
ArchiveIndex ParseArchive(std::string_view archive);
