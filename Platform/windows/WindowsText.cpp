#include "Platform/windows/WindowsText.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include "Platform/ErrorText.h"
#include "Platform/File.h"  // LastErrorText

namespace platform::windows {
namespace {

// Plain bytes only: a thread-local object with a destructor is destroyed at
// thread and process exit after the MinGW runtime may have freed its
// storage, which faulted as the window's program ended.
struct LastError {
    DWORD code = 0;
    int mappedErrno = 0;
    char text[256] = {};  // a caller's own words, cut short; empty for the system's
};
thread_local LastError lastError;

int ErrnoFor(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case WSAEACCES:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NEGATIVE_SEEK:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DIRECTORY:
            return EISDIR;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case WSAEADDRINUSE:
            return EADDRINUSE;
        case WSAEMFILE:
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        default:
            return EIO;
    }
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) return {};
    const int length = static_cast<int>(utf8.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring result(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, result.data(), wide);
    return result;
}

std::string Narrow(const wchar_t* utf16, size_t length) {
    if (length == 0 || length > INT_MAX) return {};
    const int count = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16, count, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16, count, result.data(), bytes, nullptr, nullptr);
    return result;
}

std::string Narrow(const std::wstring& utf16) {
    return Narrow(utf16.data(), utf16.size());
}

void RecordError(DWORD code) {
    RecordError(code, {});
}

void RecordError(DWORD code, const std::string& text) {
    lastError.code = code;
    lastError.mappedErrno = ErrnoFor(code);
    const size_t length = std::min(text.size(), sizeof lastError.text - 1);
    std::memcpy(lastError.text, text.data(), length);
    lastError.text[length] = '\0';
    errno = lastError.mappedErrno;
}

std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length > 0 ? Narrow(buffer, length) : std::string();
    LocalFree(buffer);
    // Wine lacks the words for some codes (those of sockets, say).
    if (text.empty()) {
        const int number = ErrnoFor(code);
        text = number != EIO ? ErrorText(number) : "error " + std::to_string(code);
    }
    // The system's texts end in a full stop and a line break.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

}  // namespace platform::windows

namespace platform {

std::string LastErrorText() {
    const auto& last = windows::lastError;
    // A caller may have set errno itself since the last Windows error.
    if (last.code != 0 && errno == last.mappedErrno) {
        return last.text[0] == '\0' ? windows::SystemErrorText(last.code) : last.text;
    }
    return std::error_code(errno, std::generic_category()).message();
}

}  // namespace platform
