#pragma once

#include <atomic>
#include <string>

#include "Compiler/CompileRun.h"

// One compile: what to pack and where.
struct CompileJob {
    std::string SourceFolder;        // the folder to pack, exactly as given
    std::string CompileArchivePath;  // the archive to write
    // Threads that read and compress files: 1 packs each file in turn on the
    // compile thread, 0 means one per core. Any count writes the same archive.
    unsigned Threads = 0;
    CompileLimits Limits{};
};

// Packs job.SourceFolder into the archive at job.CompileArchivePath, on the
// caller's thread, reporting to `progress` only. When `stop` is given and
// becomes true, the walk ends at the next file and no archive is put in place.
void Compile(const CompileJob& job, CompileProgress& progress,
             const std::atomic<bool>* stop = nullptr);

// Where the archive is written until it is complete: beside the archive, so
// that putting it in place is one rename. A leftover from a killed run is
// simply overwritten by the next compile.
std::string PartialArchivePath(const std::string& archivePath);
