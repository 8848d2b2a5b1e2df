#include "Compiler/CompileThread.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "Compiler/ArchiveOutput.h"
#include "Compiler/FilePacker.h"
#include "Compiler/Progress.h"
#include "Compiler/ScanFolder.h"
#include "Shared/ArchiveLayout.h"
#include "Shared/Lzo.h"

namespace {

// The index is written in pieces of about this size rather than a call per record.
constexpr size_t kIndexFlushSize = 1 << 20;

void Fail(CompileProgress& progress, const std::string& reason) {
    progress.CompileError.Set(reason);
    progress.CompileFailed = true;
}

// Fills in the header of `file` and appends the index after the data.
bool WriteHeaderAndIndex(CompileRun& run, platform::FileHandle file) {
    const uint32_t indexOffset = run.Output.WritePosition();
    // The data must be in the file before the cursor moves to the header.
    if (!run.Output.Flush()) return false;
    const std::string header = HeaderBytes(indexOffset);
    if (!platform::SeekFromStart(file, 0) ||
        platform::WriteFile(file, header.data(), header.size()) != header.size() ||
        !platform::SeekFromStart(file, indexOffset)) {
        return false;
    }
    std::string records;
    const size_t count = run.Entries.size();
    for (size_t i = 0; i < count; ++i) {
        AppendIndexRecord(records, run.Entries[i]);
        if (records.size() >= kIndexFlushSize || i + 1 == count) {
            if (!run.Output.Append(records.data(), records.size())) return false;
            records.clear();
        }
    }
    if (!run.Output.Flush()) return false;
    run.Progress.IndexOffset = indexOffset;
    return true;
}

// Writes the whole archive into `file`, open and empty; false on a write error.
bool WriteArchive(CompileRun& run, platform::FileHandle file, unsigned threads) {
    const unsigned char placeholder[kHeaderSize] = {};
    if (!run.Output.Append(placeholder, sizeof placeholder)) return false;
    // An empty folder name would mean the root of the file system: pack nothing.
    if (!run.SourceFolder.empty()) {
        const std::unique_ptr<FilePacker> packer = MakeFilePacker(run, threads);
        ScanFolder(run.SourceFolder, run, *packer);
        packer->Finish();
    }
    if (run.Output.Failed() || run.StopRequested()) return false;
    return WriteHeaderAndIndex(run, file);
}

void WriteArchiveFile(const CompileJob& job, CompileProgress& progress,
                      const std::atomic<bool>* stop) {
    const std::string& target = job.CompileArchivePath;
    const std::string partial = PartialArchivePath(target);
    if (!LzoReady()) {
        Fail(progress, "cannot compress: the LZO library failed to initialise");
        return;
    }
    if (target.empty() || platform::IsFolder(target)) {
        errno = target.empty() ? ENOENT : EISDIR;
        Fail(progress, "cannot create archive '" + target + "': " + platform::LastErrorText());
        return;
    }
    const platform::FileHandle file = platform::CreateExclusive(partial);
    if (file == platform::kInvalidFile) {
        Fail(progress, "cannot create archive '" + target + "': " + platform::LastErrorText());
        return;
    }
    ArchiveOutput output(file);
    // Room for the whole table at once: grown by doubling, it is copied and
    // its pages touched anew at every step, and a fresh page costs more than
    // a small file's compression on some virtual machines.
    std::vector<TItem> entries;
    entries.reserve(std::min(job.Limits.maxEntries, kMaxEntries));
    CompileRun run{job.SourceFolder, output, entries, progress, job.Limits, job.Level, stop, {}};
    // The archive being written, and an earlier one at the target, stay out
    // of the scan when they lie inside the source folder.
    platform::FileIdentity identity;
    if (platform::IdentityOf(file, identity)) run.OwnFiles.push_back(identity);
    if (platform::IdentityAt(target, identity)) run.OwnFiles.push_back(identity);
    bool written = WriteArchive(run, file, job.Threads);
    std::string writeError = output.Failed() ? output.Error() : platform::LastErrorText();
    platform::CloseFile(file);

    if (written && !platform::ReplaceFile(partial, target)) {
        written = false;
        writeError = platform::LastErrorText();
    }
    if (!written) {
        platform::DeleteFile(partial);
        Fail(progress, run.StopRequested()
                           ? "compile stopped before its end"
                           : "cannot write archive '" + target + "': " + writeError);
    }
}

}  // namespace

std::string PartialArchivePath(const std::string& archivePath) {
    return archivePath + ".partial";
}

void Compile(const CompileJob& job, CompileProgress& progress, const std::atomic<bool>* stop) {
    progress.CompileStarted = true;
    try {
        WriteArchiveFile(job, progress, stop);
    } catch (...) {
        // Nothing is put in place; say so rather than leave the status on the
        // last file name for good.
        Fail(progress, "compile stopped unexpectedly");
    }
    progress.CompileFinished = true;
}
