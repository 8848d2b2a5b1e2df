// Writes an archive in the one order its layout allows: the header's place
// held, each entry's stored bytes, the index after them, and last the header
// that points to it. A reader never sees a header pointing to an index that
// is not all there.
//
// Appends are gathered in a buffer and written out a few MiB at a time: a
// tree of many small files would otherwise cost a system call per entry. The
// first failed write is remembered and every later one refused: one lost byte
// makes the whole archive worthless. One writer belongs to one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/File.h"
#include "Shared/ArchiveLayout.h"

class ArchiveWriter {
  public:
    // Starts an archive in `file`, open and empty; the file stays the caller's.
    explicit ArchiveWriter(platform::FileHandle file);

    // Room for this many entries in the index at once: grown by doubling, the
    // table would be copied and its pages touched anew at every step.
    void Reserve(size_t entries) { entries_.reserve(entries); }

    // Appends an entry's `storedSize` stored bytes at WritePosition and its
    // record to the index, with DataOffset set there. False, and nothing
    // recorded, once any write has failed; a failure may show only later.
    bool Add(TItem entry, const void* stored, size_t storedSize);

    // Where the next entry's stored bytes go.
    uint32_t WritePosition() const { return writePosition_; }

    // The entries added so far, in the order their bytes were written.
    const std::vector<TItem>& Entries() const { return entries_; }

    // Writes the index after the data, then the header that points to it.
    // False once any write has failed.
    bool Finish();

    // Where the index starts, once Finish has written it.
    uint32_t IndexOffset() const { return indexOffset_; }

    // True once any write has failed; the reason is kept.
    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }

  private:
    bool Append(const void* bytes, size_t count);
    bool Flush();
    bool WriteOut(const void* bytes, size_t count);
    bool Fail();

    platform::FileHandle file_;
    std::unique_ptr<unsigned char[]> buffer_;
    size_t buffered_ = 0;
    uint32_t writePosition_ = 0;
    uint32_t indexOffset_ = 0;
    std::vector<TItem> entries_;
    bool failed_ = false;
    std::string error_;
};
