#include "tests/reliability/IndependentArchiveReader.h"

#include <lzo/lzo1x.h>

#include <fstream>
#include <iterator>
#include <utility>

namespace independent {
namespace {

constexpr size_t kHeader = 4;
constexpr size_t kRecordBeforeName = 14;

uint32_t Little32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

uint16_t Little16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

}  // namespace

ArchiveReader::ArchiveReader(std::string archive) : archive_(std::move(archive)) {
    Parse();
}

ArchiveReader ArchiveReader::FromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ArchiveReader(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

void ArchiveReader::Parse() {
    if (archive_.size() < kHeader) {
        problems_.push_back("shorter than the header");
        return;
    }
    indexOffset_ = Little32(archive_, 0);
    if (indexOffset_ < kHeader || indexOffset_ > archive_.size()) {
        problems_.push_back("index offset " + std::to_string(indexOffset_) + " outside the file");
        return;
    }
    size_t at = indexOffset_;
    uint64_t expectedOffset = kHeader;
    while (at < archive_.size()) {
        if (archive_.size() - at < kRecordBeforeName) {
            problems_.push_back("a record cut short at byte " + std::to_string(at));
            return;
        }
        Record record;
        record.unpackedSize = Little32(archive_, at);
        record.packedSize = Little32(archive_, at + 4);
        record.dataOffset = Little32(archive_, at + 8);
        const size_t nameLength = Little16(archive_, at + 12);
        at += kRecordBeforeName;
        if (archive_.size() - at < nameLength) {
            problems_.push_back("a name cut short at byte " + std::to_string(at));
            return;
        }
        record.name = archive_.substr(at, nameLength);
        at += nameLength;

        const std::string which =
            "entry " + std::to_string(records_.size()) + " '" + record.name + "'";
        if (record.packedSize != 0 && !record.compressed()) {
            problems_.push_back(which + ": packed size not below its content size");
        }
        if (record.dataOffset != expectedOffset) {
            problems_.push_back(which + ": data at " + std::to_string(record.dataOffset) +
                                ", expected at " + std::to_string(expectedOffset));
        }
        expectedOffset = uint64_t{record.dataOffset} + record.storedSize();
        if (expectedOffset > indexOffset_) {
            problems_.push_back(which + ": data runs into the index");
        }
        records_.push_back(std::move(record));
    }
    if (expectedOffset != indexOffset_) {
        problems_.push_back("data area ends at " + std::to_string(expectedOffset) +
                            ", index starts at " + std::to_string(indexOffset_));
    }
}

bool ArchiveReader::Decode(const Record& record, std::string& content, std::string& problem) const {
    content.clear();
    const uint64_t end = uint64_t{record.dataOffset} + record.storedSize();
    if (record.dataOffset < kHeader || end > indexOffset_) {
        problem = "stored bytes outside the data area";
        return false;
    }
    if (!record.compressed()) {
        content = archive_.substr(record.dataOffset, record.unpackedSize);
        return true;
    }
    static const bool ready = lzo_init() == LZO_E_OK;
    if (!ready) {
        problem = "liblzo2 did not initialise";
        return false;
    }
    content.assign(record.unpackedSize, '\0');
    lzo_uint produced = content.size();
    const int result = lzo1x_decompress_safe(
        reinterpret_cast<const unsigned char*>(archive_.data()) + record.dataOffset,
        record.packedSize, reinterpret_cast<unsigned char*>(content.data()), &produced, nullptr);
    if (result != LZO_E_OK || produced != record.unpackedSize) {
        problem = "decompression gave code " + std::to_string(result) + " and " +
                  std::to_string(produced) + " of " + std::to_string(record.unpackedSize) +
                  " bytes";
        return false;
    }
    return true;
}

}  // namespace independent
