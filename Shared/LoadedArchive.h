// An archive opened for reading: its file, its entries and the index that
// finds them by name. Whoever loads one owns it and passes it to what reads
// it; nothing reaches it from anywhere else.
//
// Thread safety: complete once LoadArchive returns and never changed
// afterwards, so any number of threads may read it at once; the file is read
// with positional reads, which share no file position and need no lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/File.h"
#include "Shared/ArchiveLayout.h"
#include "Shared/NameIndex.h"

class LoadedArchive {
  public:
    LoadedArchive() = default;
    // Takes `file` over: it is closed with the archive.
    explicit LoadedArchive(platform::FileHandle file) : file_(file) {}
    ~LoadedArchive();
    LoadedArchive(LoadedArchive&& other) noexcept;
    LoadedArchive& operator=(LoadedArchive&& other) noexcept;
    LoadedArchive(const LoadedArchive&) = delete;
    LoadedArchive& operator=(const LoadedArchive&) = delete;

    // The open file, positioned at its start; kInvalidFile for an archive
    // made in memory.
    platform::FileHandle File() const { return file_; }

    uint64_t FileSize = 0;
    // Where the index starts, as the header says.
    uint32_t IndexOffset = 0;
    // The index's records in file order, at most kMaxEntries, kept in one
    // block.
    EntryTable Entries;
    // Entries by name, for FindEntry.
    NameIndex Names;
    IndexReport Noticed;

  private:
    platform::FileHandle file_ = platform::kInvalidFile;
};

// What LoadArchive gives: the archive, or why it could not be opened.
struct ArchiveLoad {
    std::optional<LoadedArchive> Archive;  // empty when the file could not be opened
    int ErrorNumber = 0;                   // the system's error number then
    std::string Error;                     // the same, in words
};

// Whom an archive being read shares its file with.
enum class ArchiveSharing {
    ReadersOnly,  // nobody may replace it meanwhile where the system can forbid it
    Replaceable,  // a compile may rename a new one over it (served with reloading)
};

// Opens the archive at `path`, keeps it open for reading and loads its index.
// A damaged index loads what it can, never more than kMaxEntries records, and
// Noticed says what was damaged.
ArchiveLoad LoadArchive(const std::string& path,
                        ArchiveSharing sharing = ArchiveSharing::ReadersOnly);
