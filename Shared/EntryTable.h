// A loaded archive's entries: every index record kept as the file holds it,
// back to back in one block, with where each one starts. Loading a full table
// then costs a few allocations rather than one per name, and the table takes
// about the index's own size.
//
// Thread safety: filled once while loading; afterwards any number of threads
// may read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

// One entry as read from a table: its name is a view into the table's block,
// valid while the table lives.
struct EntryView {
    std::string_view Name;      // path below the compiled folder, "/" between levels
    uint32_t DataOffset = 0;    // where its stored bytes start in the archive
    uint32_t PackedSize = 0;    // length of its LZO1X stream; 0 when stored raw
    uint32_t UnpackedSize = 0;  // length of its content
};

class EntryTable {
  public:
    uint32_t size() const { return static_cast<uint32_t>(starts_.size()); }
    bool empty() const { return starts_.empty(); }

    // Entry `index`, which must be below size().
    EntryView operator[](uint32_t index) const;

    // Appends one whole record, its fixed part and its name as the file holds
    // them (ArchiveLayout.h reads and completes records).
    void AppendRecord(std::string_view record);

    // Room for `bytes` of records and `records` starts, so that loading an
    // index whose size is known allocates once.
    void Reserve(size_t bytes, size_t records);

    class Iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = EntryView;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = EntryView;

        Iterator() = default;
        Iterator(const EntryTable* table, uint32_t index) : table_(table), index_(index) {}
        EntryView operator*() const { return (*table_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++index_;
            return before;
        }
        bool operator==(const Iterator& other) const { return index_ == other.index_; }

      private:
        const EntryTable* table_ = nullptr;
        uint32_t index_ = 0;
    };

    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size()}; }

    // Bytes the table holds, block and starts together.
    size_t MemoryBytes() const { return block_.capacity() + starts_.capacity() * sizeof(size_t); }

  private:
    std::string block_;
    std::vector<size_t> starts_;
};
