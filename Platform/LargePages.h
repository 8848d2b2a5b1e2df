// Asking the system to back a large table with large pages.
#pragma once

#include <cstddef>

namespace platform {

// Asks that the whole large pages inside `bytes` bytes at `start` be backed
// by large pages when first touched: a table of many megabytes filled at once
// then costs a few page faults rather than thousands. Only a hint; where the
// system has no such request it does nothing.
void PreferLargePages(void* start, size_t bytes);

}  // namespace platform
