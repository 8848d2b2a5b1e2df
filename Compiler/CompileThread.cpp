#include "Compiler/CompileThread.h"

#include <lzo/lzo1x.h>

#include <cerrno>
#include <mutex>

#include "Compiler/ArchiveOutput.h"
#include "Compiler/Progress.h"
#include "Compiler/ScanFolder.h"
#include "Shared/EntryTable.h"

namespace {

// The index is written in pieces of about this size rather than a call per record.
constexpr size_t kIndexFlushSize = 1 << 20;

bool InitialiseLzo() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

void Fail(const std::string& reason) {
    CompileError.Set(reason);
    CompileFailed = true;
}

bool WriteHeaderAndIndex() {
    const uint32_t indexOffset = WritePosition;
    std::string header;
    PutU32(header, indexOffset);
    if (!platform::SeekFromStart(ArchiveHandle, 0) ||
        platform::WriteFile(ArchiveHandle, header.data(), header.size()) != header.size() ||
        !platform::SeekFromStart(ArchiveHandle, indexOffset)) {
        return false;
    }
    std::string records;
    for (uint32_t i = 0; i < EntryCount; ++i) {
        AppendIndexRecord(records, EntryTable[i]);
        if (records.size() >= kIndexFlushSize || i + 1 == EntryCount) {
            if (!AppendToArchive(records.data(), records.size())) return false;
            records.clear();
        }
    }
    WritePosition = indexOffset;
    return true;
}

// Writes the whole archive into the open ArchiveHandle; false on a write error.
bool WriteArchive() {
    const unsigned char placeholder[kHeaderSize] = {};
    WritePosition = 0;
    if (!AppendToArchive(placeholder, sizeof placeholder)) return false;
    // An empty folder name would mean the root of the file system: pack nothing.
    if (!SourceFolder.empty()) ScanFolder(SourceFolder);
    if (ArchiveWriteFailed()) return false;
    return WriteHeaderAndIndex();
}

void Compile() {
    const std::string& target = CompileArchivePath;
    const std::string partial = PartialArchivePath(target);
    if (target.empty() || platform::IsFolder(target) || !InitialiseLzo()) {
        errno = target.empty() ? ENOENT : EISDIR;
        Fail("cannot create archive '" + target + "': " + platform::LastErrorText());
        return;
    }
    ArchiveHandle = platform::CreateExclusive(partial);
    if (ArchiveHandle == platform::kInvalidFile) {
        Fail("cannot create archive '" + target + "': " + platform::LastErrorText());
        return;
    }
    // An earlier archive at the target stays out of the scan, as the archive
    // being written does, when it lies inside the source folder.
    platform::FileHandle previous = platform::HoldExclusive(target);

    ResetArchiveOutput();
    bool written = WriteArchive();
    std::string writeError = ArchiveWriteFailed() ? ArchiveWriteError() : platform::LastErrorText();
    platform::CloseFile(ArchiveHandle);
    ArchiveHandle = platform::kInvalidFile;

    if (written && !platform::ReplaceFile(partial, target)) {
        written = false;
        writeError = platform::LastErrorText();
    }
    platform::CloseFile(previous);
    if (!written) {
        platform::DeleteFile(partial);
        Fail("cannot write archive '" + target + "': " + writeError);
    }
}

}  // namespace

std::string PartialArchivePath(const std::string& archivePath) {
    return archivePath + ".partial";
}

void CompileThread(void*) {
    CompileStarted = true;
    try {
        Compile();
    } catch (...) {
        // Nothing is put in place; say so rather than leave the status on the
        // last file name for good.
        Fail("compile stopped unexpectedly");
    }
    CompileFinished = true;
}
