#include "Platform/ProgramModule.h"

#include "Platform/windows/SystemPath.h"
#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"

namespace platform {

std::string ProgramFolder() {
    // Long enough for the extended-length form's 32,767 characters.
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return "";
    path.resize(length);
    return windows::Narrow(path.substr(0, path.rfind(L'\\')));
}

void* LoadModuleFunction(const std::string& path, const char* name, std::string& error) {
    HMODULE module = LoadLibraryW(windows::SystemPath(path).c_str());
    FARPROC function = module == nullptr ? nullptr : GetProcAddress(module, name);
    if (function == nullptr) error = windows::SystemErrorText(GetLastError());
    return reinterpret_cast<void*>(function);
}

}  // namespace platform
