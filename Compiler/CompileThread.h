#pragma once

#include <string>

#include "Compiler/CompileRun.h"

// One compile: what to pack and where. A thread started with it runs
// CompileThread on its own copy.
struct CompileJob {
    std::string SourceFolder;        // the folder to pack, exactly as given
    std::string CompileArchivePath;  // the archive to write
    // Threads that read and compress files: 1 packs each file in turn on the
    // compile thread, 0 means one per core. Any count writes the same archive.
    unsigned Threads = 0;
    CompileLimits Limits{};

    void operator()() const;
};

// Packs job.SourceFolder into the archive at job.CompileArchivePath. Runs on
// a worker thread of its own (or the caller's, in tests) and reports through
// Progress only.
void CompileThread(const CompileJob& job);

// Where the archive is written until it is complete: beside the archive, so
// that putting it in place is one rename. A leftover from a killed run is
// simply overwritten by the next compile.
std::string PartialArchivePath(const std::string& archivePath);
