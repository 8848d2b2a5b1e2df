#include "Platform/windows/SystemPath.h"

#include <string_view>

#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"

namespace platform::windows {
namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kShareForm = L"\\\\?\\UNC\\";
// The system's own name for the extended form, which the calls take as well.
constexpr std::wstring_view kObjectPrefix = L"\\??\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

bool IsExtended(std::wstring_view path) {
    return path.starts_with(kExtendedPrefix) || path.starts_with(kObjectPrefix);
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// `absolute` (a full path with "\" between levels, as GetFullPathNameW gives
// it) in the extended-length form: "C:\a" as "\\?\C:\a" and the network share
// "\\server\share\a" as "\\?\UNC\server\share\a". Paths already in that form,
// device paths ("\\.\COM1") and anything not absolute come back unchanged.
std::wstring ExtendedLengthPath(const std::wstring& absolute) {
    const std::wstring_view path = absolute;
    if (IsExtended(path) || path.starts_with(kDevicePrefix)) return absolute;
    if (path.starts_with(L"\\\\")) return std::wstring(kShareForm) + absolute.substr(2);
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') {
        return std::wstring(kExtendedPrefix) + absolute;
    }
    return absolute;
}

}  // namespace

std::wstring SystemPath(const std::string& path) {
    std::wstring wide = Widen(path);
    if (wide.empty()) return wide;
    // No Windows name holds a "/", and a run of separators names no level,
    // so the program's own joins ("/" between levels, a "\" already at the
    // end of the folder) are made right even where the system takes the path
    // as it is written.
    if (IsExtended(wide)) {
        std::wstring joined = wide.substr(0, kExtendedPrefix.size());
        for (size_t at = kExtendedPrefix.size(); at < wide.size(); ++at) {
            const wchar_t c = wide[at] == L'/' ? L'\\' : wide[at];
            if (c != L'\\' || joined.back() != L'\\') joined += c;
        }
        return joined;
    }
    // The plain calls resolve a path this way (against the current folder,
    // "." and ".." taken out, separators made "\"), so the extended form that
    // follows names what the plain call would have named.
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;  // the call given it fails with the reason
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    return ExtendedLengthPath(full);
}

std::wstring ChildPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\') return folder + name;
    return folder + L'\\' + name;
}

}  // namespace platform::windows
