#include "Shared/LoadIndex.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Shared/ArchiveState.h"

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

bool LoadIndex(const std::string& path, IndexReport* report) {
    ArchiveState& archive = Archive;
    archive.ArchiveHandle = platform::OpenForReading(path);
    if (archive.ArchiveHandle == platform::kInvalidFile) return false;
    IndexReport noticed;
    noticed.FileSize = platform::FileSize64(archive.ArchiveHandle);

    unsigned char header[kHeaderSize] = {};
    noticed.HeaderCut =
        platform::ReadFile(archive.ArchiveHandle, header, sizeof header) < kHeaderSize;
    archive.IndexOffset = GetU32(header);

    archive.EntryCount = 0;
    // An offset that cannot be sought to would leave the position just after
    // the header, and the data area would be read as index: load nothing.
    if (platform::SeekFromStart(archive.ArchiveHandle, archive.IndexOffset)) {
        IndexReader reader(archive.ArchiveHandle);
        while (archive.EntryCount < kMaxEntries) {
            unsigned char fixed[kIndexRecordFixedSize] = {};
            const size_t first = reader.Read(fixed, 4);
            if (first < 4) {
                noticed.LastRecordCut |= first > 0;
                break;
            }
            const size_t rest = reader.Read(fixed + 4, kIndexRecordFixedSize - 4);
            TItem& item = archive.NextEntry();
            item.UnpackedSize = GetU32(fixed);
            item.PackedSize = GetU32(fixed + 4);
            item.DataOffset = GetU32(fixed + 8);
            item.Name.assign(GetU16(fixed + 12), '\0');
            const size_t name = reader.Read(item.Name.data(), item.Name.size());
            noticed.LastRecordCut |= rest < kIndexRecordFixedSize - 4 || name < item.Name.size();
            ++archive.EntryCount;
        }
        unsigned char more = 0;
        noticed.MoreRecordsThanTable =
            archive.EntryCount == kMaxEntries && reader.Read(&more, 1) == 1;
    } else {
        noticed.IndexOffsetOutside = !noticed.HeaderCut;
    }
    noticed.IndexOffsetOutside |= !noticed.HeaderCut && archive.IndexOffset > noticed.FileSize;

    archive.Names.Build(archive.EntryTable, archive.EntryCount);
    platform::SeekFromStart(archive.ArchiveHandle, 0);
    if (report != nullptr) *report = noticed;
    return true;
}
