// The process's one archive: its entry table, its open file and where its index
// starts. The compiler appends to the table and writes it out as the index;
// the server fills it once from an archive and afterwards only reads it.
//
// Thread safety: one run performs one action, so the table has no lock of its
// own. The thread that fills it (the compile thread, or the server thread in
// LoadIndex) is the only one touching it until it is complete; connection
// threads start only after that, and then only read it. They read the file
// with positional reads, which share no file position and need no lock.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/File.h"
#include "Platform/Thread.h"
#include "Shared/ArchiveLayout.h"
#include "Shared/NameIndex.h"

// One entry of an archive.
struct TItem {
    std::string Name;           // path below the compiled folder, "/" between levels
    uint32_t DataOffset = 0;    // where its stored bytes start in the archive
    uint32_t PackedSize = 0;    // length of its LZO1X stream; 0 when stored raw
    uint32_t UnpackedSize = 0;  // length of its content
};

class ArchiveState {
  public:
    ArchiveState();
    ArchiveState(const ArchiveState&) = delete;
    ArchiveState& operator=(const ArchiveState&) = delete;

    // Room for kMaxEntries records, allocated once and never freed or moved:
    // worker threads are never joined and may still read it while the process
    // exits. Records are built as they are first used (NextEntry), so that a
    // run does not pay for touching all of the table's memory at start.
    TItem* const EntryTable;

    // Number of valid records at the front of EntryTable.
    uint32_t EntryCount = 0;

    // The loaded table's names, for lookups by the server; built by LoadIndex.
    NameIndex Names;

    // The one open archive: being written while compiling, read while serving.
    platform::FileHandle ArchiveHandle = platform::kInvalidFile;

    // Where the index starts: as written by the compile, or as read from the
    // header by LoadIndex.
    uint32_t IndexOffset = 0;

    // The record at EntryCount, empty, ready to be filled before EntryCount
    // grows to include it. EntryCount must be below kMaxEntries.
    TItem& NextEntry();

    // Empties the table and forgets the archive, for a second action in one
    // process (tests); the program itself performs one action per run.
    void Reset();

  private:
    // Records EntryTable[0 .. builtEntries_ - 1] have been constructed.
    uint32_t builtEntries_ = 0;
};

// The instance every unit uses. Never destroyed: detached threads may still
// read it while the process exits.
extern ArchiveState& Archive;

// Appends the index record of `item` to `out`, in disk order.
void AppendIndexRecord(std::string& out, const TItem& item);
