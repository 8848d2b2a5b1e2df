#include "Compiler/ScanFolder.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <memory>
#include <new>

#include "Compiler/ArchiveOutput.h"
#include "Compiler/IsStoredRaw.h"
#include "Compiler/Progress.h"
#include "Platform/FolderEnumeration.h"
#include "Shared/AnsiText.h"
#include "Shared/EntryTable.h"

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

std::unique_ptr<unsigned char[]> TryAllocate(uint64_t size) {
    if (size > SIZE_MAX) return nullptr;
    // At least one byte, so that an empty file still gets a valid pointer.
    return std::unique_ptr<unsigned char[]>(
        new (std::nothrow) unsigned char[std::max<uint64_t>(size, 1)]);
}

std::string EntryNameOf(const std::string& path) {
    size_t cut = std::min(path.size(), SourceFolder.size() + 1);
    return BackslashesToSlashes(path.substr(cut));
}

void PackFile(const std::string& folder, const std::string& fileName) {
    CurrentFileName.Set(fileName);
    const std::string path = folder + "/" + fileName;

    platform::FileHandle file = platform::OpenForReading(path);
    if (file == platform::kInvalidFile) {
        ++FilesLeftOut.unreadable;
        return;
    }
    FileCloser closer{file};

    // The format records sizes in 32 bits: a larger file cannot be described.
    const uint64_t size = platform::FileSize64(file);
    if (size > UINT32_MAX) {
        ++FilesLeftOut.tooLarge;
        return;
    }
    auto input = TryAllocate(size);
    if (!input) {
        ++FilesLeftOut.unreadable;
        return;
    }
    // A file that shrank since its size was taken is stored as far as it could
    // be read, and its entry claims no more than that.
    const uint32_t readCount = static_cast<uint32_t>(platform::ReadFile(file, input.get(), size));

    const unsigned char* stored = input.get();
    uint32_t storedSize = readCount;
    uint32_t packedSize = 0;
    std::unique_ptr<unsigned char[]> output;
    if (!IsStoredRaw(fileName) && readCount > 0) {
        output = TryAllocate(CompressBound(readCount));
        auto workMemory = TryAllocate(kCompressWorkMemory);
        if (output && workMemory) {
            lzo_uint compressedLength = 0;
            int result = lzo1x_1_compress(input.get(), readCount, output.get(), &compressedLength,
                                          workMemory.get());
            if (result == LZO_E_OK && compressedLength < readCount) {
                stored = output.get();
                storedSize = static_cast<uint32_t>(compressedLength);
                packedSize = storedSize;
            }
        }
    }

    // The index must start below 2 GiB: a file that would push the data area
    // past that is left out, and the walk goes on with the next one.
    if (WritePosition + uint64_t{storedSize} > kMaxArchiveOffset) {
        ++FilesLeftOut.tooLarge;
        return;
    }

    TItem& entry = NextEntry();
    entry.Name = EntryNameOf(path);
    entry.DataOffset = WritePosition;
    entry.UnpackedSize = readCount;
    entry.PackedSize = packedSize;
    if (!AppendToArchive(stored, storedSize)) {
        entry = TItem{};
        return;
    }
    ++EntryCount;
}

}  // namespace

void ScanFolder(const std::string& folder) {
    platform::FolderEnumeration listing(folder);
    platform::FolderEntry entry;
    while (!ArchiveWriteFailed() && listing.Next(entry)) {
        if (entry.isFolder) {
            if (entry.name != "." && entry.name != "..") ScanFolder(folder + "/" + entry.name);
        } else if (EntryCount < kMaxEntries) {
            PackFile(folder, entry.name);
        } else {
            ++FilesLeftOut.overCapacity;
        }
    }
}
