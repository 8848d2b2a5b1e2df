#include "Compiler/PackFile.h"

#include <lzo/lzo1x.h>

#include <algorithm>

#include "Compiler/IsStoredRaw.h"
#include "Shared/AnsiText.h"

namespace {

// Work memory handed to lzo1x_1_compress; at least what the library asks for.
constexpr size_t kCompressWorkMemory = std::max<size_t>(131072, LZO1X_1_MEM_COMPRESS);

// The library's documented worst case for input that does not compress.
constexpr uint64_t CompressBound(uint64_t size) {
    return size + size / 16 + 64 + 3;
}

// One per thread that compresses, released when the thread ends.
thread_local ReusedBuffer workMemory;

struct FileCloser {
    platform::FileHandle file;
    ~FileCloser() { platform::CloseFile(file); }
};

std::string EntryNameOf(const std::string& path, const std::string& sourceFolder) {
    size_t cut = std::min(path.size(), sourceFolder.size() + 1);
    return BackslashesToSlashes(path.substr(cut));
}

}  // namespace

PreparedFile PrepareFile(const std::string& path, const std::string& fileName, FileBuffers& buffers,
                         const MemoryGate& gate) {
    PreparedFile prepared;
    platform::FileHandle file = platform::OpenForReading(path);
    if (file == platform::kInvalidFile) return prepared;
    FileCloser closer{file};

    // The format records sizes in 32 bits: a larger file cannot be described.
    const uint64_t size = platform::FileSize64(file);
    if (size > UINT32_MAX) {
        prepared.outcome = PreparedFile::Outcome::TooLarge;
        return prepared;
    }
    const bool compress = !IsStoredRaw(fileName);
    if (gate) {
        gate(ReusedBuffer::RoundedSize(size) +
             (compress ? ReusedBuffer::RoundedSize(CompressBound(size)) : 0));
    }
    unsigned char* const input = buffers.input.Reserve(size);
    if (input == nullptr) return prepared;

    // A file that shrank since its size was taken is stored as far as it could
    // be read, and its entry claims no more than that.
    const uint32_t readCount = static_cast<uint32_t>(platform::ReadFile(file, input, size));
    prepared.outcome = PreparedFile::Outcome::Read;
    prepared.unpackedSize = readCount;
    prepared.stored = input;
    prepared.storedSize = readCount;
    if (compress && readCount > 0) {
        unsigned char* const output = buffers.output.Reserve(CompressBound(readCount));
        unsigned char* const work = workMemory.Reserve(kCompressWorkMemory);
        if (output != nullptr && work != nullptr) {
            lzo_uint compressedLength = 0;
            int result = lzo1x_1_compress(input, readCount, output, &compressedLength, work);
            if (result == LZO_E_OK && compressedLength < readCount) {
                prepared.stored = output;
                prepared.storedSize = static_cast<uint32_t>(compressedLength);
                prepared.packedSize = prepared.storedSize;
            }
        }
    }
    return prepared;
}

bool LeaveOutOverCapacity(CompileRun& run) {
    if (run.Entries.size() < run.Limits.maxEntries) return false;
    ++run.Progress.FilesLeftOut.overCapacity;
    return true;
}

void AppendFile(const PreparedFile& file, const std::string& path, CompileRun& run) {
    LeftOutCounts& leftOut = run.Progress.FilesLeftOut;
    switch (file.outcome) {
        case PreparedFile::Outcome::Unreadable:
            ++leftOut.unreadable;
            return;
        case PreparedFile::Outcome::TooLarge:
            ++leftOut.tooLarge;
            return;
        case PreparedFile::Outcome::Read:
            break;
    }
    // The index must start below 2 GiB: a file that would push the data area
    // past that is left out, and the walk goes on with the next one.
    const uint32_t dataOffset = run.Output.WritePosition();
    if (dataOffset + uint64_t{file.storedSize} > run.Limits.maxDataEnd) {
        ++leftOut.tooLarge;
        return;
    }

    if (!run.Output.Append(file.stored, file.storedSize)) return;
    run.Entries.push_back(
        TItem{EntryNameOf(path, run.SourceFolder), dataOffset, file.packedSize, file.unpackedSize});
    ++run.Progress.FilesPacked;
    run.Progress.BytesPacked += file.unpackedSize;
}
