// Folders the system sets aside for each user.
#pragma once

#include <string>

namespace platform {

// Where programs keep files they can make again: $XDG_CACHE_HOME, else
// ~/.cache; %LOCALAPPDATA% on Windows. Empty when the environment names none.
std::string UserCacheFolder();

}  // namespace platform
