#include "Shared/ArchiveLayout.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The whole record that `bytes` starts, which the end cuts short: what is
// missing reads as zeros, the name's length included when it is cut.
std::string CompletedRecord(std::string_view bytes) {
    std::string record(bytes.substr(0, kIndexRecordFixedSize));
    record.resize(kIndexRecordFixedSize, '\0');
    const size_t nameLength = GetU16(reinterpret_cast<const unsigned char*>(record.data()) + 12);
    if (bytes.size() > kIndexRecordFixedSize) {
        record.append(bytes.substr(kIndexRecordFixedSize, nameLength));
    }
    record.resize(kIndexRecordFixedSize + nameLength, '\0');
    return record;
}

// Records of at most this many bytes are reserved at once; a larger index
// (a damaged header pointing far back) grows as its records are taken.
constexpr size_t kMostReserved = size_t{64} << 20;

}  // namespace

std::string HeaderBytes(uint32_t indexOffset) {
    std::string header;
    PutU32(header, indexOffset);
    return header;
}

EntryView ViewOfRecord(const char* record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(record);
    return {std::string_view(record + kIndexRecordFixedSize, GetU16(bytes + 12)), GetU32(bytes + 8),
            GetU32(bytes + 4), GetU32(bytes)};
}

uint32_t ParseHeader(std::string_view bytes) {
    unsigned char header[kHeaderSize] = {};
    std::memcpy(header, bytes.data(), std::min(bytes.size(), sizeof header));
    return GetU32(header);
}

void AppendIndexRecord(std::string& out, const TItem& item) {
    PutU32(out, item.UnpackedSize);
    PutU32(out, item.PackedSize);
    PutU32(out, item.DataOffset);
    const size_t length = std::min(item.Name.size(), kMaxNameLength);
    PutU16(out, static_cast<uint16_t>(length));
    out.append(item.Name, 0, length);
}

void IndexParser::Expect(size_t bytes) {
    const size_t reserved = std::min(bytes, kMostReserved);
    index_.Entries.Reserve(reserved,
                           std::min<size_t>(reserved / kIndexRecordFixedSize + 1, kMaxEntries));
}

size_t IndexParser::Parse(std::string_view bytes, bool atEnd) {
    size_t at = 0;
    while (!Full()) {
        const std::string_view rest = bytes.substr(at);
        if (rest.size() >= kIndexRecordFixedSize) {
            const size_t length = kIndexRecordFixedSize +
                                  GetU16(reinterpret_cast<const unsigned char*>(rest.data()) + 12);
            if (rest.size() >= length) {
                index_.Entries.AppendRecord(rest.substr(0, length));
                at += length;
                continue;
            }
        }
        if (!atEnd) return at;
        // The end cuts this record short. Less than its first field is not a
        // record at all.
        index_.LastRecordCut |= !rest.empty();
        if (rest.size() >= 4) index_.Entries.AppendRecord(CompletedRecord(rest));
        return bytes.size();
    }
    index_.MoreRecordsThanTable |= atEnd && at < bytes.size();
    return at;
}

ParsedIndex ParseIndex(std::string_view bytes) {
    IndexParser parser;
    parser.Parse(bytes, true);
    return parser.Take();
}

IndexStart LocateIndex(std::string_view header, uint64_t archiveSize, IndexReport& noticed) {
    IndexStart start;
    start.Offset = ParseHeader(header);
    start.Readable = start.Offset <= kMaxArchiveOffset;
    noticed.HeaderCut = header.size() < kHeaderSize;
    noticed.IndexOffsetOutside =
        !noticed.HeaderCut && (!start.Readable || start.Offset > archiveSize);
    return start;
}

EntryTable EntriesOf(ParsedIndex index, IndexReport& noticed) {
    noticed.LastRecordCut = index.LastRecordCut;
    noticed.MoreRecordsThanTable = index.MoreRecordsThanTable;
    return std::move(index.Entries);
}

ArchiveIndex ParseArchive(std::string_view archive) {
    ArchiveIndex index;
    const IndexStart start =
        LocateIndex(archive.substr(0, kHeaderSize), archive.size(), index.Noticed);
    index.IndexOffset = start.Offset;
    if (start.Readable) {
        index.Entries =
            EntriesOf(ParseIndex(archive.substr(std::min<size_t>(start.Offset, archive.size()))),
                      index.Noticed);
    }
    return index;
}
