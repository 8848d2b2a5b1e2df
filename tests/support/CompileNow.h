// Runs one compile in the test's own thread.
#pragma once

#include <memory>
#include <string>

#include "Compiler/CompileThread.h"
#include "Compiler/Progress.h"
#include "tests/support/Loaded.h"

// `threads` as with --compile-threads (0: one per core). Gives what the
// compile reported.
inline std::unique_ptr<CompileProgress> CompileNow(const std::string& sourceFolder,
                                                   const std::string& archivePath,
                                                   unsigned threads = 0,
                                                   CompileLimits limits = {}) {
    auto progress = std::make_unique<CompileProgress>();
    Compile(CompileJob{sourceFolder, archivePath, threads, limits}, *progress);
    return progress;
}
