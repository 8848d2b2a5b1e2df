// The archive's byte layout, in one place for the writer and the reader:
//
//   0                 4-byte IndexOffset
//   4                 data area: each entry's stored bytes, back to back
//   IndexOffset       index records to the end of the file:
//                       UnpackedSize u32, PackedSize u32, DataOffset u32,
//                       name length u16, name bytes
//
// Every integer is unsigned little-endian. There is no magic number or count:
// the end of the file ends the index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Most entries an archive can hold: the capacity of the entry table.
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

struct TItem;

// Appends the index record of `item` to `out`, in disk order.
void AppendIndexRecord(std::string& out, const TItem& item);
