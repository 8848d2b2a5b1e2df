// What one compile writes to and reports to, and the limits it applies.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "Compiler/CompileLevel.h"
#include "Compiler/Progress.h"
#include "Platform/File.h"
#include "Shared/ArchiveLayout.h"
#include "Shared/ArchiveWriter.h"

// The archive's limits. Always the format's own in the program; tests lower
// them to reach a limit with a small tree.
struct CompileLimits {
    uint32_t maxEntries = kMaxEntries;
    uint64_t maxDataEnd = kMaxArchiveOffset;  // no stored byte may reach past it
};

// Owned by the compile thread while it runs; worker threads never touch it.
struct CompileRun {
    const std::string& SourceFolder;  // its length cuts the entry names
    ArchiveWriter& Output;            // holds the index too, in the order the data was written
    CompileProgress& Progress;
    CompileLimits Limits;
    CompileLevel Level;
    const std::atomic<bool>* Stop = nullptr;  // set by the owner to end the compile early
    // The archive being written and the one it replaces: when they lie in the
    // source folder they are left out as unreadable, as a compressor leaves
    // out its own output.
    std::vector<platform::FileIdentity> OwnFiles;

    bool StopRequested() const { return Stop != nullptr && Stop->load(); }
};
