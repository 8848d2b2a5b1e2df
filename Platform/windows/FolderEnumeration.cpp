#include "Platform/FolderEnumeration.h"

#include <algorithm>
#include <vector>

#include "Platform/windows/SystemPath.h"
#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"

namespace platform {
namespace {

using FolderId = std::pair<uint64_t, uint64_t>;

// The folders open for listing on this thread: a walk's ancestors.
thread_local std::vector<FolderId> openFolders;

// The identity of the folder a path leads to, through junctions and links.
bool FolderIdOf(const std::wstring& path, FolderId& id) {
    HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    id = {info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
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
    FolderId id;
    if (folder.empty() || !FolderIdOf(wideFolder, id)) return;
    auto search = std::make_unique<Search>();
    // Every entry, hidden and system ones included; short names are not wanted.
    search->handle =
        FindFirstFileExW(windows::ChildPath(wideFolder, L"*").c_str(), FindExInfoBasic,
                         &search->found, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search->handle == INVALID_HANDLE_VALUE) return;
    search->pending = true;
    search_ = std::move(search);
    id_ = id;
    openFolders.push_back(id_);
}

FolderEnumeration::~FolderEnumeration() {
    if (!search_) return;
    FindClose(search_->handle);
    auto it = std::find(openFolders.rbegin(), openFolders.rend(), id_);
    if (it != openFolders.rend()) openFolders.erase(std::next(it).base());
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
            entry = {windows::Narrow(name), true};
            return true;
        }
        if (!isFolder) {
            // Files, and links to files; a dangling link fails to open later and
            // is left out like any unreadable file.
            entry = {windows::Narrow(name), false};
            return true;
        }
        // Only a junction or a link can lead back into a folder being walked.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            FolderId id;
            const std::wstring path = windows::ChildPath(windows::SystemPath(folder_), name);
            if (!FolderIdOf(path, id)) continue;  // dangling: nothing to walk
            if (std::find(openFolders.begin(), openFolders.end(), id) != openFolders.end())
                continue;
        }
        entry = {windows::Narrow(name), true};
        return true;
    }
}

}  // namespace platform
