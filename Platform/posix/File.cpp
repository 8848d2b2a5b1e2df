#include "Platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

#include "Platform/FaultInjection.h"

namespace platform {
namespace {

using FileId = std::pair<dev_t, ino_t>;

// Files this process holds without sharing, and the handle that holds each.
// Never freed: detached workers may still close files while the process exits.
struct ExclusiveRecord {
    std::mutex lock;
    std::set<FileId> ids;
    std::set<std::pair<FileId, int>> holders;
};

ExclusiveRecord& Exclusive() {
    static ExclusiveRecord* record = new ExclusiveRecord;
    return *record;
}

bool IdOf(int fd, FileId& id) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    id = {info.st_dev, info.st_ino};
    return true;
}

FileHandle Register(int fd) {
    FileId id;
    if (!IdOf(fd, id)) {
        int saved = errno;
        close(fd);
        errno = saved;
        return kInvalidFile;
    }
    ExclusiveRecord& record = Exclusive();
    std::lock_guard guard(record.lock);
    record.ids.insert(id);
    record.holders.insert({id, fd});
    return fd;
}

}  // namespace

FileHandle OpenForReading(const std::string& path) {
    // Non-blocking so that opening a FIFO cannot stall; only regular files pass.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kInvalidFile;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return kInvalidFile;
    }
    {
        ExclusiveRecord& record = Exclusive();
        std::lock_guard guard(record.lock);
        if (record.ids.count({info.st_dev, info.st_ino}) != 0) {
            close(fd);
            errno = EBUSY;
            return kInvalidFile;
        }
    }
    // O_NONBLOCK stays: it has no effect on reads of a regular file.
    return fd;
}

FileHandle CreateExclusive(const std::string& path) {
    if (FaultInjection::FailCreate()) {
        errno = EACCES;
        return kInvalidFile;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return kInvalidFile;
    return Register(fd);
}

FileHandle HoldExclusive(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kInvalidFile;
    return Register(fd);
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

FileStamp FileStampOf(FileHandle file) {
    struct stat info {};
    if (fstat(file, &info) != 0) return {};
    FileStamp stamp;
    stamp.Id = (static_cast<uint64_t>(info.st_dev) << 32) ^ static_cast<uint64_t>(info.st_ino);
    stamp.Size = static_cast<uint64_t>(info.st_size);
    stamp.ModifiedSeconds = info.st_mtim.tv_sec;
    stamp.ModifiedNanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
    return stamp;
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
    {
        ExclusiveRecord& record = Exclusive();
        std::lock_guard guard(record.lock);
        for (auto it = record.holders.begin(); it != record.holders.end(); ++it) {
            if (it->second == file) {
                FileId id = it->first;
                record.holders.erase(it);
                bool stillHeld = false;
                for (const auto& holder : record.holders) stillHeld |= holder.first == id;
                if (!stillHeld) record.ids.erase(id);
                break;
            }
        }
    }
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

std::string LastErrorText() {
    return std::error_code(errno, std::generic_category()).message();
}

}  // namespace platform
