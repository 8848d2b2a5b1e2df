#include "Compiler/ScanFolder.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <memory>
#include <new>

#include "Compiler/IsStoredRaw.h"
#include "Platform/FolderEnumeration.h"
#include "Shared/AnsiText.h"

namespace {

// Work memory handed to lzo1x_1_compress; at least what the library asks for.
constexpr size_t kCompressWorkMemory = std::max<size_t>(131072, LZO1X_1_MEM_COMPRESS);

// The library's documented worst case for input that does not compress.
constexpr uint64_t CompressBound(uint64_t size) {
    return size + size / 16 + 64 + 3;
}

struct FileCloser {
    platform::FileHandle file;
    ~FileCloser() { platform::CloseFile(file); }
};

// A buffer kept from one file to the next and grown only for a larger file.
// Allocating afresh for every file costs more than compressing a small one:
// the allocator hands large released blocks back to the system, and the next
// file faults their pages in again. The largest file's buffers are held until
// the compile ends, which is no more than its own compile needs anyway.
class ReusedBuffer {
  public:
    // Room for `size` bytes (at least one, so an empty file still gets a
    // valid pointer), or nullptr when memory cannot be had.
    unsigned char* Reserve(uint64_t size) {
        if (size <= capacity_ && data_) return data_.get();
        data_.reset();
        capacity_ = 0;
        // Rounded up so that files of nearly the same size share one allocation.
        constexpr uint64_t kGranule = uint64_t{64} * 1024;
        const uint64_t wanted = (std::max<uint64_t>(size, 1) + kGranule - 1) / kGranule * kGranule;
        if (wanted > SIZE_MAX) return nullptr;
        data_.reset(new (std::nothrow) unsigned char[wanted]);
        if (data_) capacity_ = wanted;
        return data_.get();
    }

  private:
    std::unique_ptr<unsigned char[]> data_;
    uint64_t capacity_ = 0;
};

// One set per compiling thread, released when the thread ends.
struct CompileBuffers {
    ReusedBuffer input;
    ReusedBuffer output;
    ReusedBuffer workMemory;
};
thread_local CompileBuffers buffers;

std::string EntryNameOf(const std::string& path, const std::string& sourceFolder) {
    size_t cut = std::min(path.size(), sourceFolder.size() + 1);
    return BackslashesToSlashes(path.substr(cut));
}

void PackFile(const std::string& folder, const std::string& fileName, CompileRun& run) {
    LeftOutCounts& leftOut = run.Progress.FilesLeftOut;
    run.Progress.CurrentFileName.Set(fileName);
    const std::string path = folder + "/" + fileName;

    platform::FileHandle file = platform::OpenForReading(path);
    if (file == platform::kInvalidFile) {
        ++leftOut.unreadable;
        return;
    }
    FileCloser closer{file};

    // The format records sizes in 32 bits: a larger file cannot be described.
    const uint64_t size = platform::FileSize64(file);
    if (size > UINT32_MAX) {
        ++leftOut.tooLarge;
        return;
    }
    unsigned char* const input = buffers.input.Reserve(size);
    if (input == nullptr) {
        ++leftOut.unreadable;
        return;
    }
    // A file that shrank since its size was taken is stored as far as it could
    // be read, and its entry claims no more than that.
    const uint32_t readCount = static_cast<uint32_t>(platform::ReadFile(file, input, size));

    const unsigned char* stored = input;
    uint32_t storedSize = readCount;
    uint32_t packedSize = 0;
    if (!IsStoredRaw(fileName) && readCount > 0) {
        unsigned char* const output = buffers.output.Reserve(CompressBound(readCount));
        unsigned char* const workMemory = buffers.workMemory.Reserve(kCompressWorkMemory);
        if (output != nullptr && workMemory != nullptr) {
            lzo_uint compressedLength = 0;
            int result = lzo1x_1_compress(input, readCount, output, &compressedLength, workMemory);
            if (result == LZO_E_OK && compressedLength < readCount) {
                stored = output;
                storedSize = static_cast<uint32_t>(compressedLength);
                packedSize = storedSize;
            }
        }
    }

    // The index must start below 2 GiB: a file that would push the data area
    // past that is left out, and the walk goes on with the next one.
    const uint32_t dataOffset = run.Output.WritePosition();
    if (dataOffset + uint64_t{storedSize} > kMaxArchiveOffset) {
        ++leftOut.tooLarge;
        return;
    }

    TItem& entry = run.Archive.NextEntry();
    entry.Name = EntryNameOf(path, run.SourceFolder);
    entry.DataOffset = dataOffset;
    entry.UnpackedSize = readCount;
    entry.PackedSize = packedSize;
    if (!run.Output.Append(stored, storedSize)) {
        entry = TItem{};
        return;
    }
    ++run.Archive.EntryCount;
}

}  // namespace

void ScanFolder(const std::string& folder, CompileRun& run) {
    platform::FolderEnumeration listing(folder);
    platform::FolderEntry entry;
    while (!run.Output.Failed() && listing.Next(entry)) {
        if (entry.isFolder) {
            if (entry.name != "." && entry.name != "..") ScanFolder(folder + "/" + entry.name, run);
        } else if (run.Archive.EntryCount < kMaxEntries) {
            PackFile(folder, entry.name, run);
        } else {
            ++run.Progress.FilesLeftOut.overCapacity;
        }
    }
}
