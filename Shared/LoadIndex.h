#pragma once

#include <cstdint>
#include <string>

// What loading noticed about an archive that the compiler never writes. The
// table is loaded all the same; the archive tool's verify reports these.
struct IndexReport {
    uint64_t FileSize = 0;
    bool HeaderCut = false;             // the file is shorter than its 4-byte header
    bool IndexOffsetOutside = false;    // IndexOffset lies past the end of the file,
                                        // or cannot be sought to (2 GiB or more)
    bool LastRecordCut = false;         // the end of the file cuts the last record short
    bool MoreRecordsThanTable = false;  // index bytes remain after kMaxEntries records
};

// Opens the archive at `path` into Archive.ArchiveHandle (kept open for
// reading) and loads its index into Archive.EntryTable. False when the archive
// cannot be opened; a damaged index loads what it can and never more than
// kMaxEntries records. `report`, when given, learns what was damaged.
bool LoadIndex(const std::string& path, IndexReport* report = nullptr);
