#include "Platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "Platform/FaultInjection.h"
#include "Platform/HeldFolder.h"

namespace platform {
namespace {

FileIdentity IdentityFrom(const struct stat& info) {
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

// Opens and checks a file for reading, `openedAt` being given the flags.
template <typename Open>
FileHandle OpenRegularFile(Open openedAt, uint64_t* size, FileIdentity* identity) {
    // Non-blocking so that opening a FIFO cannot stall; only regular files pass.
    int fd = openedAt(O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kInvalidFile;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return kInvalidFile;
    }
    if (identity != nullptr) *identity = IdentityFrom(info);
    if (size != nullptr) *size = info.st_size < 0 ? 0 : static_cast<uint64_t>(info.st_size);
    // O_NONBLOCK stays: it has no effect on reads of a regular file.
    return fd;
}

}  // namespace

FileHandle OpenForReading(const std::string& path, uint64_t* size, FileIdentity* identity) {
    return OpenRegularFile([&](int flags) { return open(path.c_str(), flags); }, size, identity);
}

FileHandle OpenReplaceable(const std::string& path, uint64_t* size, FileIdentity* identity) {
    return OpenForReading(path, size, identity);
}

FileHandle OpenForReading(const HeldFolder* folder, const std::string& name,
                          const std::string& path, uint64_t* size, FileIdentity* identity) {
    if (folder == nullptr) return OpenForReading(path, size, identity);
    return OpenRegularFile(
        [&](int flags) { return openat(folder->Descriptor(), name.c_str(), flags); }, size,
        identity);
}

HeldFolder::~HeldFolder() {
    close(descriptor_);
}

FileHandle CreateExclusive(const std::string& path) {
    if (FaultInjection::FailCreate()) {
        errno = EACCES;
        return kInvalidFile;
    }
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

bool IdentityOf(FileHandle file, FileIdentity& identity) {
    struct stat info {};
    if (fstat(file, &info) != 0) return false;
    identity = IdentityFrom(info);
    return true;
}

bool IdentityAt(const std::string& path, FileIdentity& identity) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    identity = IdentityFrom(info);
    return true;
}

size_t ReadFile(FileHandle file, void* buffer, size_t count) {
    auto* out = static_cast<char*>(buffer);
    count = FaultInjection::LimitReadCall(count);
    size_t done = 0;
    while (done < count) {
        size_t want = FaultInjection::LimitRead(count - done);
        ssize_t got = read(file, out + done, want);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

namespace {

FileStamp StampFrom(const struct stat& info) {
    FileStamp stamp;
    stamp.Id = (static_cast<uint64_t>(info.st_dev) << 32) ^ static_cast<uint64_t>(info.st_ino);
    stamp.Size = static_cast<uint64_t>(info.st_size);
    stamp.ModifiedSeconds = info.st_mtim.tv_sec;
    stamp.ModifiedNanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
    return stamp;
}

}  // namespace

FileStamp FileStampOf(FileHandle file) {
    struct stat info {};
    if (fstat(file, &info) != 0) return {};
    return StampFrom(info);
}

bool StampAt(const std::string& path, FileStamp& stamp) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    stamp = StampFrom(info);
    return true;
}

size_t ReadAt(FileHandle file, void* buffer, size_t count, uint64_t offset) {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t want = FaultInjection::LimitRead(count - done);
        ssize_t got = pread(file, out + done, want, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

size_t WriteFile(FileHandle file, const void* buffer, size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t allowed = FaultInjection::LimitWrite(count - done);
        if (allowed == 0) {
            errno = ENOSPC;
            break;
        }
        ssize_t put = write(file, in + done, allowed);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<size_t>(put);
    }
    return done;
}

bool SeekFromStart(FileHandle file, uint32_t distance) {
    if (distance >= kSeekLimit) {
        errno = EINVAL;
        return false;
    }
    return lseek(file, static_cast<off_t>(distance), SEEK_SET) >= 0;
}

uint64_t FileSize64(FileHandle file) {
    struct stat info {};
    if (fstat(file, &info) != 0 || info.st_size < 0) return 0;
    return static_cast<uint64_t>(info.st_size);
}

void CloseFile(FileHandle file) {
    if (file == kInvalidFile) return;
    close(file);
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool DeleteFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
    FileIdentity first;
    FileIdentity second;
    return IdentityAt(a, first) && IdentityAt(b, second) && first == second;
}

std::string LastErrorText() {
    return std::error_code(errno, std::generic_category()).message();
}

}  // namespace platform
