#include "Shared/EntryTable.h"

#include "Platform/LargePages.h"
#include "Shared/ArchiveLayout.h"

EntryView EntryTable::operator[](uint32_t index) const {
    return ViewOfRecord(block_.data() + starts_[index]);
}

void EntryTable::AppendRecord(std::string_view record) {
    starts_.push_back(block_.size());
    block_.append(record);
}

void EntryTable::Reserve(size_t bytes, size_t records) {
    block_.reserve(bytes);
    starts_.reserve(records);
    platform::PreferLargePages(block_.data(), block_.capacity());
    platform::PreferLargePages(starts_.data(), starts_.capacity() * sizeof starts_[0]);
}
