// Runs one compile in the test's own thread, from a clean start.
#pragma once

#include <string>

#include "Compiler/CompileThread.h"
#include "Compiler/Progress.h"
#include "Shared/ArchiveState.h"

inline void CompileNow(const std::string& sourceFolder, const std::string& archivePath) {
    Archive.Reset();
    Progress.Reset();
    CompileThread(CompileJob{sourceFolder, archivePath});
}
