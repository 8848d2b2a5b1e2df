#include "Shared/ArchiveLayout.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Reads a record from `bytes`, which may end before it does: what is missing
// reads as zeros.
TItem RecordFrom(std::string_view bytes) {
    unsigned char fixed[kIndexRecordFixedSize] = {};
    std::memcpy(fixed, bytes.data(), std::min(bytes.size(), sizeof fixed));
    TItem item;
    item.UnpackedSize = GetU32(fixed);
    item.PackedSize = GetU32(fixed + 4);
    item.DataOffset = GetU32(fixed + 8);
    item.Name.assign(GetU16(fixed + 12), '\0');
    if (bytes.size() > kIndexRecordFixedSize) {
        const std::string_view name = bytes.substr(kIndexRecordFixedSize, item.Name.size());
        std::memcpy(item.Name.data(), name.data(), name.size());
    }
    return item;
}

}  // namespace

std::string HeaderBytes(uint32_t indexOffset) {
    std::string header;
    PutU32(header, indexOffset);
    return header;
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

size_t IndexParser::Parse(std::string_view bytes, bool atEnd) {
    size_t at = 0;
    while (!Full()) {
        const std::string_view rest = bytes.substr(at);
        if (rest.size() >= kIndexRecordFixedSize) {
            const size_t length = kIndexRecordFixedSize +
                                  GetU16(reinterpret_cast<const unsigned char*>(rest.data()) + 12);
            if (rest.size() >= length) {
                index_.Entries.push_back(RecordFrom(rest.substr(0, length)));
                at += length;
                continue;
            }
        }
        if (!atEnd) return at;
        // The end cuts this record short. Less than its first field is not a
        // record at all.
        index_.LastRecordCut |= !rest.empty();
        if (rest.size() >= 4) index_.Entries.push_back(RecordFrom(rest));
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

std::vector<TItem> EntriesOf(ParsedIndex index, IndexReport& noticed) {
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
