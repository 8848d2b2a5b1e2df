#include "Platform/LargePages.h"

namespace platform {

// Large pages there need a privilege users rarely hold, and memory taken
// with them at allocation: nothing to ask of memory already allocated.
void PreferLargePages(void*, size_t) {}

}  // namespace platform
