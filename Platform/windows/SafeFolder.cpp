#include "Platform/SafeFolder.h"

#include <cerrno>
#include <vector>

#include "Platform/windows/SystemPath.h"
#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"

namespace platform {
namespace {

using windows::RecordError;
using windows::RecordLastError;
using windows::Widen;

// Windows has no calls relative to a folder handle, so a folder is its path
// and a handle held open on it without FILE_SHARE_DELETE: while the handle
// is open the folder cannot be renamed or replaced, so its path keeps naming
// the folder that was checked.
struct OpenFolder {
    HANDLE handle;
    std::wstring path;
};

OpenFolder* ToFolder(FolderHandle folder) {
    return reinterpret_cast<OpenFolder*>(folder);
}

std::wstring Inside(FolderHandle folder, const std::string& name) {
    return windows::ChildPath(ToFolder(folder)->path, Widen(name));
}

bool IsReservedDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && (stem.back() == ' ')) stem.pop_back();
    for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

// One plain entry of a folder: no separator, drive or stream colon, wildcard
// or control byte, no trailing dot or space (Windows would drop them), and no
// device name.
bool IsPlainName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string("\\/:*?\"<>|").find(c) != std::string::npos) {
            return false;
        }
    }
    if (name.back() == '.' || name.back() == ' ') return false;
    return !IsReservedDeviceName(name);
}

// Opens `path` as a folder, never through a reparse point (a symbolic link or
// a junction): one found there is refused and reported through `isLink`.
FolderHandle OpenChecked(const std::wstring& path, bool& isLink) {
    HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RecordLastError();
        return kInvalidFolder;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        RecordLastError();
        CloseHandle(handle);
        return kInvalidFolder;
    }
    isLink = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (isLink || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(handle);
        RecordError(ERROR_DIRECTORY);
        return kInvalidFolder;
    }
    return reinterpret_cast<FolderHandle>(new OpenFolder{handle, path});
}

// Creates the folder `path` and the missing ones above it: up from `path` to
// the deepest level that exists (or cannot be made), then down again, so that
// a folder that exists costs one call.
void CreateFolders(const std::wstring& path) {
    std::vector<size_t> missing;  // ends of the levels still to make, deepest first
    size_t end = path.size();
    while (!CreateDirectoryW(path.substr(0, end).c_str(), nullptr) &&
           GetLastError() == ERROR_PATH_NOT_FOUND) {
        const size_t cut = path.find_last_of(L'\\', end - 1);
        if (cut == std::wstring::npos || cut == 0) return;
        missing.push_back(end);
        end = cut;
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        CreateDirectoryW(path.substr(0, *level).c_str(), nullptr);
    }
}

}  // namespace

FolderHandle OpenOrCreateFolder(const std::string& path) {
    std::wstring wide = windows::SystemPath(path);
    CreateFolders(wide);
    // The top folder is the caller's choice: a link there is followed.
    HANDLE handle =
        CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RecordLastError();
        return kInvalidFolder;
    }
    while (wide.size() > 1 && wide.back() == L'\\') wide.pop_back();
    return reinterpret_cast<FolderHandle>(new OpenFolder{handle, wide});
}

FolderHandle OpenChildFolder(FolderHandle parent, const std::string& name, bool& isLink) {
    isLink = false;
    if (!IsPlainName(name)) {
        RecordError(ERROR_INVALID_NAME);
        return kInvalidFolder;
    }
    const std::wstring path = Inside(parent, name);
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        RecordLastError();
        return kInvalidFolder;
    }
    return OpenChecked(path, isLink);
}

void CloseFolder(FolderHandle folder) {
    if (folder == kInvalidFolder) return;
    CloseHandle(ToFolder(folder)->handle);
    delete ToFolder(folder);
}

bool ExistsIn(FolderHandle folder, const std::string& name) {
    return GetFileAttributesW(Inside(folder, name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileHandle CreateTemporaryIn(FolderHandle folder, std::string& tempName) {
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = ".pelorine-partial-" + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(InterlockedIncrement(&counter));
        // CREATE_NEW never opens what is already there, a link included.
        HANDLE handle = CreateFileW(Inside(folder, tempName).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) return reinterpret_cast<FileHandle>(handle);
        if (GetLastError() != ERROR_FILE_EXISTS) {
            RecordLastError();
            return kInvalidFile;
        }
    }
    RecordError(ERROR_FILE_EXISTS);
    return kInvalidFile;
}

PlaceResult PlaceFile(FolderHandle folder, const std::string& tempName, const std::string& name,
                      bool replace) {
    if (!IsPlainName(name)) {
        RecordError(ERROR_INVALID_NAME);
        return PlaceResult::Failed;
    }
    // Without MOVEFILE_REPLACE_EXISTING the move itself refuses an existing
    // name; with it, a link standing there is replaced, not followed.
    if (MoveFileExW(Inside(folder, tempName).c_str(), Inside(folder, name).c_str(),
                    replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        return PlaceResult::Placed;
    }
    const DWORD error = GetLastError();
    RecordError(error);
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? PlaceResult::Exists
                                                                       : PlaceResult::Failed;
}

bool DeleteIn(FolderHandle folder, const std::string& name) {
    if (DeleteFileW(Inside(folder, name).c_str())) return true;
    RecordLastError();
    return false;
}

}  // namespace platform
