#include "Platform/FolderEnumeration.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

namespace platform {

FolderEnumeration::FolderEnumeration(const std::string& folder) {
    Open(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FolderEnumeration::FolderEnumeration(FolderEnumeration& parent, const std::string& name,
                                     const std::string& /*folder*/) {
    if (parent.dir_ == nullptr) return;
    Open(openat(dirfd(parent.dir_), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

void FolderEnumeration::Open(int fd) {
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) != 0 || (dir_ = fdopendir(fd)) == nullptr) {
        close(fd);
        return;
    }
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
        struct stat info {};
        if (fstatat(dirfd(dir_), name, &info, 0) != 0) {
            // A dangling link or an entry gone since listing: report it as a
            // file, whose open will fail and leave it out like any unreadable file.
            if (fstatat(dirfd(dir_), name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
                S_ISLNK(info.st_mode)) {
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

SharedFolder FolderEnumeration::Shared() {
    if (!shared_ && dir_ != nullptr) {
        // A descriptor of its own, as the listing's closes with the listing.
        const int fd = fcntl(dirfd(dir_), F_DUPFD_CLOEXEC, 0);
        if (fd >= 0) shared_ = std::make_shared<const HeldFolder>(fd);
    }
    return shared_;
}

}  // namespace platform
