// A buffer kept from one file to the next and grown only for a larger file.
// Allocating afresh for every file costs more than compressing a small one:
// the allocator hands large released blocks back to the system, and the next
// file faults their pages in again.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

class ReusedBuffer {
  public:
    // Allocations are rounded up to this, so that files of nearly the same
    // size share one allocation.
    static constexpr uint64_t kGranule = uint64_t{64} * 1024;

    // What Reserve(size) allocates when the buffer is smaller.
    static constexpr uint64_t RoundedSize(uint64_t size) {
        return (std::max<uint64_t>(size, 1) + kGranule - 1) / kGranule * kGranule;
    }

    // Room for `size` bytes (at least one, so an empty file still gets a
    // valid pointer), or nullptr when memory cannot be had.
    unsigned char* Reserve(uint64_t size) {
        if (size <= capacity_ && data_) return data_.get();
        Release();
        const uint64_t wanted = RoundedSize(size);
        if (wanted > SIZE_MAX) return nullptr;
        data_.reset(new (std::nothrow) unsigned char[wanted]);
        if (data_) capacity_ = wanted;
        return data_.get();
    }

    // Up to this size, a buffer that must grow takes at least twice its
    // capacity (see ReserveGrowing).
    static constexpr uint64_t kDoublingLimit = uint64_t{8} << 20;

    // As Reserve, but growing by doubling up to kDoublingLimit: a run of ever
    // larger files then costs a few allocations instead of one each, every
    // one of them fresh pages to fault in.
    unsigned char* ReserveGrowing(uint64_t size) {
        if (size <= capacity_ && data_) return data_.get();
        return Reserve(std::max(size, std::min(2 * capacity_, kDoublingLimit)));
    }

    // What the last Reserve gave.
    unsigned char* Data() const { return data_.get(); }
    uint64_t Capacity() const { return capacity_; }

    void Release() {
        data_.reset();
        capacity_ = 0;
    }

  private:
    std::unique_ptr<unsigned char[]> data_;
    uint64_t capacity_ = 0;
};
