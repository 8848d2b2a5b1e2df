#include "Platform/ShellOpen.h"

#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

namespace platform {

void ShellOpen(const std::string& url) {
    // The shell's "open" on the URL starts the default browser. Our sockets
    // and files are not inheritable, so nothing of ours lives on in it.
    ShellExecuteW(nullptr, L"open", windows::Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
