#include "Platform/FolderEnumeration.h"

#include "Platform/windows/SystemPath.h"
#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"

namespace platform {
namespace {

// The identity of the folder a path leads to, through junctions and links.
bool FolderIdOf(const std::wstring& path, FileIdentity& identity) {
    HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    identity = {info.dwVolumeSerialNumber,
                (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    return true;
}

}  // namespace

struct FolderEnumeration::Search {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW found{};
    bool pending = false;  // `found` holds an entry not yet reported
};

FolderEnumeration::FolderEnumeration(const std::string& folder) : folder_(folder) {
    const std::wstring wideFolder = windows::SystemPath(folder);
    FileIdentity identity;
    if (folder.empty() || !FolderIdOf(wideFolder, identity)) return;
    auto search = std::make_unique<Search>();
    // Every entry, hidden and system ones included; short names are not wanted.
    search->handle =
        FindFirstFileExW(windows::ChildPath(wideFolder, L"*").c_str(), FindExInfoBasic,
                         &search->found, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search->handle == INVALID_HANDLE_VALUE) return;
    search->pending = true;
    search_ = std::move(search);
    identity_ = identity;
}

FolderEnumeration::FolderEnumeration(FolderEnumeration& /*parent*/, const std::string& /*name*/,
                                     const std::string& folder)
    : FolderEnumeration(folder) {}

FolderEnumeration::~FolderEnumeration() {
    if (search_) FindClose(search_->handle);
}

bool FolderEnumeration::IsOpen() const {
    return search_ != nullptr;
}

bool FolderEnumeration::Next(FolderEntry& entry) {
    if (!search_) return false;
    for (;;) {
        if (!search_->pending && !FindNextFileW(search_->handle, &search_->found)) return false;
        search_->pending = false;
        const WIN32_FIND_DATAW& found = search_->found;
        const std::wstring name = found.cFileName;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name == L"." || name == L"..") {
            entry = {windows::Narrow(name), true, std::nullopt};
            return true;
        }
        if (!isFolder) {
            // Files, and links to files; a dangling link fails to open later and
            // is left out like any unreadable file.
            entry = {windows::Narrow(name), false, std::nullopt};
            return true;
        }
        // Only a junction or a link can lead back into a folder above it.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            const std::wstring path = windows::ChildPath(windows::SystemPath(folder_), name);
            FileIdentity identity;
            if (!FolderIdOf(path, identity)) continue;  // dangling: nothing to walk
            entry = {windows::Narrow(name), true, identity};
            return true;
        }
        entry = {windows::Narrow(name), true, std::nullopt};
        return true;
    }
}

SharedFolder FolderEnumeration::Shared() {
    return nullptr;
}

}  // namespace platform
