#pragma once

#include <string>

#include "Compiler/ArchiveOutput.h"
#include "Compiler/Progress.h"
#include "Shared/ArchiveState.h"

// What one walk writes to and reports to, all owned by the compile thread
// while it runs.
struct CompileRun {
    const std::string& SourceFolder;  // its length cuts the entry names
    ArchiveOutput& Output;
    ArchiveState& Archive;
    CompileProgress& Progress;
};

// Packs every file below `folder` into the archive being written, depth-first:
// a subfolder's files enter the table where the subfolder comes up in its
// parent's listing. The top call passes run.SourceFolder itself.
void ScanFolder(const std::string& folder, CompileRun& run);
