#include "Compiler/CompileThread.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "Compiler/FilePacker.h"
#include "Compiler/Progress.h"
#include "Compiler/ScanFolder.h"
#include "Shared/ArchiveWriter.h"
#include "Shared/Lzo.h"

namespace {

void Fail(CompileProgress& progress, const std::string& reason) {
    progress.CompileError.Set(reason);
    progress.CompileFailed = true;
}

// Writes the whole archive through the run's writer; false on a write error.
bool WriteArchive(CompileRun& run, unsigned threads) {
    // An empty folder name would mean the root of the file system: pack nothing.
    if (!run.SourceFolder.empty()) {
        const std::unique_ptr<FilePacker> packer = MakeFilePacker(run, threads);
        ScanFolder(run.SourceFolder, run, *packer);
        packer->Finish();
    }
    if (run.Output.Failed() || run.StopRequested() || !run.Output.Finish()) return false;
    run.Progress.IndexOffset = run.Output.IndexOffset();
    return true;
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
    ArchiveWriter output(file);
    // Room for the whole table at once: a fresh page costs more than a small
    // file's compression on some virtual machines.
    output.Reserve(std::min(job.Limits.maxEntries, kMaxEntries));
    CompileRun run{job.SourceFolder, output, progress, job.Limits, job.Level, stop, {}};
    // The archive being written, and an earlier one at the target, stay out
    // of the scan when they lie inside the source folder.
    platform::FileIdentity identity;
    if (platform::IdentityOf(file, identity)) run.OwnFiles.push_back(identity);
    if (platform::IdentityAt(target, identity)) run.OwnFiles.push_back(identity);
    bool written = WriteArchive(run, job.Threads);
    std::string writeError = output.Error();
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
