#include "Platform/FolderEnumeration.h"

#include <sys/stat.h>

#include <cstring>

namespace platform {

FolderEnumeration::FolderEnumeration(const std::string& folder) : folder_(folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
    dir_ = opendir(folder.c_str());
    if (dir_ == nullptr) return;
    identity_ = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

FolderEnumeration::~FolderEnumeration() {
    if (dir_ != nullptr) closedir(dir_);
}

bool FolderEnumeration::IsOpen() const {
    return dir_ != nullptr;
}

bool FolderEnumeration::Next(FolderEntry& entry) {
    if (dir_ == nullptr) return false;
    while (dirent* found = readdir(dir_)) {
        const char* name = found->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            entry = {name, true, std::nullopt};
            return true;
        }
        // A plain file needs no further look; folders do, to tell what they are.
        if (found->d_type == DT_REG) {
            entry = {name, false, std::nullopt};
            return true;
        }
        std::string path = folder_ + "/" + name;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            // A dangling link or an entry gone since listing: report it as a
            // file, whose open will fail and leave it out like any unreadable file.
            if (lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode)) {
                entry = {name, false, std::nullopt};
                return true;
            }
        }
        if (S_ISDIR(info.st_mode)) {
            entry = {name, true,
                     FileIdentity{static_cast<uint64_t>(info.st_dev),
                                  static_cast<uint64_t>(info.st_ino)}};
            return true;
        }
        if (S_ISREG(info.st_mode)) {
            entry = {name, false, std::nullopt};
            return true;
        }
    }
    return false;
}

}  // namespace platform
