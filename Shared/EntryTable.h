// The process-wide entry table that both actions share. The compiler appends to
// it and writes it out as the index; the server fills it once from an archive
// and afterwards only reads it. One run performs one action, so the table has
// no lock: the thread that fills it is the only one touching it until it is
// complete, and connection threads start only after that.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/File.h"
#include "Shared/ArchiveLayout.h"

// One entry of an archive.
struct TItem {
    std::string Name;           // path below the compiled folder, "/" between levels
    uint32_t DataOffset = 0;    // where its stored bytes start in the archive
    uint32_t PackedSize = 0;    // length of its LZO1X stream; 0 when stored raw
    uint32_t UnpackedSize = 0;  // length of its content
};

// Room for kMaxEntries records, allocated once and never freed or moved:
// worker threads are never joined and may still read it while the process
// exits. Records are built as they are first used (NextEntry), so that a run
// does not pay for touching all of the table's memory at start.
extern TItem* const EntryTable;

// Number of valid records at the front of EntryTable.
extern uint32_t EntryCount;

// The one open archive: being written while compiling, read while serving.
extern platform::FileHandle ArchiveHandle;

// While compiling, where the next entry's data goes (at the end, IndexOffset);
// after loading, the IndexOffset read from the header.
extern uint32_t WritePosition;

// The record at EntryCount, empty, ready to be filled before EntryCount grows
// to include it. EntryCount must be below kMaxEntries.
TItem& NextEntry();

// Empties the table and forgets the archive, for a second action in one process
// (tests); the program itself performs one action per run.
void ResetEntryTable();
