#include "Platform/UserFolders.h"

#include <cstdlib>

#include "Platform/windows/WindowsText.h"

namespace platform {

std::string UserCacheFolder() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || local[0] == L'\0') return {};
    return windows::Narrow(local, wcslen(local));
}

}  // namespace platform
