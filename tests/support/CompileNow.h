// Runs one compile in the test's own thread, from a clean start.
#pragma once

#include <string>

#include "Compiler/CompileThread.h"
#include "Compiler/Progress.h"
#include "tests/support/Loaded.h"

// `threads` as with --compile-threads (0: one per core).
inline void CompileNow(const std::string& sourceFolder, const std::string& archivePath,
                       unsigned threads = 0, CompileLimits limits = {}) {
    Progress.Reset();
    CompileThread(CompileJob{sourceFolder, archivePath, threads, limits});
}
