#include "Platform/LargePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {

void PreferLargePages(void* start, size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<uintptr_t>(start);
    const uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (begin + bytes) & ~(kLargePage - 1);
    if (first >= end) return;
    // A refusal (no such pages configured) leaves small pages, which work.
    (void)madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)start;
    (void)bytes;
#endif
}

}  // namespace platform
