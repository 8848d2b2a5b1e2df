#pragma once

#include <string>

// Opens the archive at `path` into Archive.ArchiveHandle (kept open for
// reading) and loads its index into Archive.EntryTable. False when the archive
// cannot be opened; a damaged index loads what it can and never more than
// kMaxEntries records.
bool LoadIndex(const std::string& path);
