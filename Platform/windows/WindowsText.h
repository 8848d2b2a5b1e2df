// The bridge between the program's UTF-8 strings and the UTF-16 the Windows
// calls take, and the record of this thread's last Windows error.
#pragma once

#include <string>

#include "Platform/windows/Windows.h"

namespace platform::windows {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* utf16, size_t length);
std::string Narrow(const std::wstring& utf16);

// Records `code` as this thread's last error and sets errno to its nearest
// equivalent, so that callers that keep errno keep a meaningful number.
void RecordError(DWORD code);
inline void RecordLastError() {
    RecordError(GetLastError());
}

// As RecordError, with `text` in place of the system's wording.
void RecordError(DWORD code, const std::string& text);

// The system's wording for a Windows error code, in UTF-8.
std::string SystemErrorText(DWORD code);

}  // namespace platform::windows
