#include "Compiler/PackFile.h"

#include <algorithm>
#include <utility>

#include "Compiler/CompressContent.h"
#include "Compiler/IsStoredRaw.h"
#include "Shared/AnsiText.h"
#include "Shared/ReadEntry.h"

namespace {

struct FileCloser {
    platform::FileHandle file;
    ~FileCloser() { platform::CloseFile(file); }
};

std::string EntryNameOf(const std::string& path, const std::string& sourceFolder) {
    size_t cut = std::min(path.size(), sourceFolder.size() + 1);
    return BackslashesToSlashes(path.substr(cut));
}

}  // namespace

PreparedFile PrepareFile(const FileToPack& toPack, CompileLevel level,
                         const std::vector<platform::FileIdentity>& ownFiles, FileBuffers& buffers,
                         const MemoryGate& gate) {
    PreparedFile prepared;
    uint64_t size = 0;
    platform::FileIdentity identity;
    platform::FileHandle file =
        platform::OpenForReading(toPack.folder.get(), toPack.fileName, toPack.path, &size,
                                 ownFiles.empty() ? nullptr : &identity);
    if (file == platform::kInvalidFile) return prepared;
    FileCloser closer{file};
    if (std::find(ownFiles.begin(), ownFiles.end(), identity) != ownFiles.end()) return prepared;

    // Every reader refuses content of 2 GiB or more, so such a file would be
    // packed only to be unreadable (and read whole into memory first).
    if (size > kLargestContent) {
        prepared.outcome = PreparedFile::Outcome::TooLarge;
        return prepared;
    }
    const bool compress = !IsStoredRaw(toPack.fileName);
    if (gate) {
        gate(ReusedBuffer::RoundedSize(size) + (compress ? CompressionMemory(size, level) : 0));
    }
    unsigned char* const input = buffers.input.ReserveGrowing(size);
    if (input == nullptr) return prepared;

    // A file that shrank since its size was taken is stored as far as it could
    // be read, and its entry claims no more than that.
    const uint32_t readCount = static_cast<uint32_t>(platform::ReadFile(file, input, size));
    prepared.outcome = PreparedFile::Outcome::Read;
    prepared.unpackedSize = readCount;
    prepared.stored = input;
    prepared.storedSize = readCount;
    if (compress) {
        const uint32_t packed = CompressContent(input, readCount, level, buffers.compression);
        if (packed != 0) {
            prepared.stored = buffers.compression.output.Data();
            prepared.storedSize = packed;
            prepared.packedSize = packed;
        }
    }
    return prepared;
}

bool LeaveOutOverCapacity(CompileRun& run) {
    if (run.Output.Entries().size() < run.Limits.maxEntries) return false;
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

    TItem entry{EntryNameOf(path, run.SourceFolder), dataOffset, file.packedSize,
                file.unpackedSize};
    if (!run.Output.Add(std::move(entry), file.stored, file.storedSize)) return;
    ++run.Progress.FilesPacked;
    run.Progress.BytesPacked += file.unpackedSize;
}
