#include "Shared/LoadIndex.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Shared/EntryTable.h"

namespace {

// Reads the index sequentially through a buffer: an index of a quarter of a
// million records would otherwise cost over a million system calls.
class IndexReader {
  public:
    explicit IndexReader(platform::FileHandle file) : file_(file), buffer_(kChunk) {}

    // Copies up to `count` bytes into `out`; bytes past the end of the file
    // are left as they were (callers pass zeroed storage). Returns the count.
    size_t Read(void* out, size_t count) {
        auto* target = static_cast<unsigned char*>(out);
        size_t done = 0;
        while (done < count) {
            if (next_ == filled_) {
                filled_ = platform::ReadFile(file_, buffer_.data(), buffer_.size());
                next_ = 0;
                if (filled_ == 0) break;
            }
            size_t take = std::min(count - done, filled_ - next_);
            std::memcpy(target + done, buffer_.data() + next_, take);
            next_ += take;
            done += take;
        }
        return done;
    }

  private:
    static constexpr size_t kChunk = size_t{64} * 1024;
    platform::FileHandle file_;
    std::vector<unsigned char> buffer_;
    size_t next_ = 0;
    size_t filled_ = 0;
};

}  // namespace

bool LoadIndex(const std::string& path) {
    ArchiveHandle = platform::OpenForReading(path);
    if (ArchiveHandle == platform::kInvalidFile) return false;

    unsigned char header[kHeaderSize] = {};
    platform::ReadFile(ArchiveHandle, header, sizeof header);
    WritePosition = GetU32(header);

    EntryCount = 0;
    // An offset that cannot be sought to would leave the position just after
    // the header, and the data area would be read as index: load nothing.
    if (platform::SeekFromStart(ArchiveHandle, WritePosition)) {
        IndexReader reader(ArchiveHandle);
        while (EntryCount < kMaxEntries) {
            unsigned char fixed[kIndexRecordFixedSize] = {};
            if (reader.Read(fixed, 4) < 4) break;
            reader.Read(fixed + 4, kIndexRecordFixedSize - 4);
            TItem& item = NextEntry();
            item.UnpackedSize = GetU32(fixed);
            item.PackedSize = GetU32(fixed + 4);
            item.DataOffset = GetU32(fixed + 8);
            item.Name.assign(GetU16(fixed + 12), '\0');
            reader.Read(item.Name.data(), item.Name.size());
            ++EntryCount;
        }
    }

    platform::SeekFromStart(ArchiveHandle, 0);
    return true;
}
