// A reader of the archive layout written from the layout alone, sharing no
// code with the program: it parses the header and the index itself and
// decompresses with liblzo2 directly, so that a fault shared by the program's
// writer and reader cannot hide from the tests that compare the two.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace independent {

struct Record {
    std::string name;
    uint32_t unpackedSize = 0;
    uint32_t packedSize = 0;
    uint32_t dataOffset = 0;

    bool compressed() const { return packedSize != 0 && packedSize < unpackedSize; }
    uint32_t storedSize() const { return compressed() ? packedSize : unpackedSize; }
};

class ArchiveReader {
  public:
    // Parses `archive`, the whole file. Problems() is empty when it is laid
    // out as a compiled archive must be: a header pointing just past the data
    // area, entries back to back from offset 4 in index order, whole records
    // to the end of the file, and no entry marked compressed that is not
    // smaller than its content.
    explicit ArchiveReader(std::string archive);

    static ArchiveReader FromFile(const std::string& path);

    uint32_t indexOffset() const { return indexOffset_; }
    const std::vector<Record>& records() const { return records_; }
    const std::vector<std::string>& problems() const { return problems_; }

    // The content of `record`: its raw bytes, or its LZO1X stream decompressed.
    // False, with the reason in `problem`, when the stored bytes do not give
    // exactly UnpackedSize bytes (a stream that is damaged, cut short, or
    // followed by bytes of its own).
    bool Decode(const Record& record, std::string& content, std::string& problem) const;

  private:
    void Parse();

    std::string archive_;
    uint32_t indexOffset_ = 0;
    std::vector<Record> records_;
    std::vector<std::string> problems_;
};

}  // namespace independent
