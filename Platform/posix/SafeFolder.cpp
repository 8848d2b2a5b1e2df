#include "Platform/SafeFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace platform {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// A name holds a separator, is empty, or names the folder itself or its
// parent: none of them is one plain entry of the folder.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

FolderHandle OpenOrCreateFolder(const std::string& path) {
    // Why a folder could not be made ("Permission denied") says more than
    // the open that then finds nothing there.
    int makeFailure = 0;
    const auto make = [&](const std::string& folder) {
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST && makeFailure == 0) {
            makeFailure = errno;
        }
    };
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        make(path.substr(0, slash));
    }
    make(path);
    const int folder = open(path.c_str(), kFolderFlags);
    if (folder < 0 && errno == ENOENT && makeFailure != 0) errno = makeFailure;
    return folder;
}

FolderHandle OpenChildFolder(FolderHandle parent, const std::string& name, bool& isLink) {
    isLink = false;
    if (!IsPlainName(name)) {
        errno = EINVAL;
        return kInvalidFolder;
    }
    if (mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) return kInvalidFolder;
    // O_NOFOLLOW: a link named `name` fails instead of being entered.
    const int folder = openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW);
    if (folder < 0) {
        const int reason = errno;
        struct stat info {};
        isLink =
            fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
        errno = reason;
    }
    return folder;
}

void CloseFolder(FolderHandle folder) {
    if (folder != kInvalidFolder) close(folder);
}

bool ExistsIn(FolderHandle folder, const std::string& name) {
    struct stat info {};
    return fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

FileHandle CreateTemporaryIn(FolderHandle folder, std::string& tempName) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = ".pelorine-partial-" + std::to_string(getpid()) + "-" +
                   std::to_string(counter.fetch_add(1));
        // O_EXCL with O_NOFOLLOW: never opens what is already there.
        int fd = openat(folder, tempName.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return kInvalidFile;
}

PlaceResult PlaceFile(FolderHandle folder, const std::string& tempName, const std::string& name,
                      bool replace) {
    if (!IsPlainName(name)) {
        errno = EINVAL;
        return PlaceResult::Failed;
    }
    // RENAME_NOREPLACE decides in the same step as the rename, so a file that
    // appears meanwhile is not replaced either.
    const unsigned flags = replace ? 0 : RENAME_NOREPLACE;
    int renamed = renameat2(folder, tempName.c_str(), folder, name.c_str(), flags);
    if (renamed != 0 && errno == EINVAL && !replace) {
        // A file system without RENAME_NOREPLACE: look first, then rename.
        if (ExistsIn(folder, name)) return PlaceResult::Exists;
        renamed = renameat(folder, tempName.c_str(), folder, name.c_str());
    }
    if (renamed == 0) return PlaceResult::Placed;
    return errno == EEXIST ? PlaceResult::Exists : PlaceResult::Failed;
}

bool DeleteIn(FolderHandle folder, const std::string& name) {
    return unlinkat(folder, name.c_str(), 0) == 0;
}

}  // namespace platform
