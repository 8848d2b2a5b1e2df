#include "Platform/FolderEnumeration.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {
namespace {

using FolderId = std::pair<uint64_t, uint64_t>;

// The folders open for listing on this thread: a walk's ancestors.
thread_local std::vector<FolderId> openFolders;

}  // namespace

FolderEnumeration::FolderEnumeration(const std::string& folder) : folder_(folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
    dir_ = opendir(folder.c_str());
    if (dir_ == nullptr) return;
    id_ = {info.st_dev, info.st_ino};
    openFolders.push_back(id_);
}

FolderEnumeration::~FolderEnumeration() {
    if (dir_ == nullptr) return;
    closedir(dir_);
    auto it = std::find(openFolders.rbegin(), openFolders.rend(), id_);
    if (it != openFolders.rend()) openFolders.erase(std::next(it).base());
}

bool FolderEnumeration::IsOpen() const {
    return dir_ != nullptr;
}

bool FolderEnumeration::Next(FolderEntry& entry) {
    if (dir_ == nullptr) return false;
    while (dirent* found = readdir(dir_)) {
        const char* name = found->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            entry = {name, true};
            return true;
        }
        // A plain file needs no further look; folders do, to be recognised when
        // a link leads back into one being walked.
        if (found->d_type == DT_REG) {
            entry = {name, false};
            return true;
        }
        std::string path = folder_ + "/" + name;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            // A dangling link or an entry gone since listing: report it as a
            // file, whose open will fail and leave it out like any unreadable file.
            if (lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode)) {
                entry = {name, false};
                return true;
            }
        }
        if (S_ISDIR(info.st_mode)) {
            FolderId id{info.st_dev, info.st_ino};
            if (std::find(openFolders.begin(), openFolders.end(), id) != openFolders.end())
                continue;
            entry = {name, true};
            return true;
        }
        if (S_ISREG(info.st_mode)) {
            entry = {name, false};
            return true;
        }
    }
    return false;
}

}  // namespace platform
