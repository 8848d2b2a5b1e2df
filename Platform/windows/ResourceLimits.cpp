#include "Platform/ResourceLimits.h"

namespace platform {

// Windows sets no per-process limit on sockets or file handles to raise.
bool RaiseDescriptorLimit() {
    return true;
}

}  // namespace platform
