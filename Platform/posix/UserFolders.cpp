#include "Platform/UserFolders.h"

#include <cstdlib>

namespace platform {

std::string UserCacheFolder() {
    // Only an absolute path counts, as the base directory rules ask.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') return cache;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache";
    return {};
}

}  // namespace platform
