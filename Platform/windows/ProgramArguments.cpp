#include "Platform/ProgramArguments.h"

#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

namespace platform {

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(windows::Narrow(std::wstring(wide[i])));
    LocalFree(wide);
    return arguments;
}

}  // namespace platform
