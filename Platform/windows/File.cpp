#include "Platform/File.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "Platform/FaultInjection.h"
#include "Platform/windows/SystemPath.h"
#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"

namespace platform {
namespace {

using windows::RecordError;
using windows::RecordLastError;
using windows::SystemPath;

// Each call moves at most this much: ReadFile and WriteFile count in 32 bits.
constexpr size_t kLargestTransfer = size_t{1} << 30;

HANDLE ToHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FileHandle FromHandle(HANDLE handle) {
    return reinterpret_cast<FileHandle>(handle);
}

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
    return FileIdentity{info.dwVolumeSerialNumber,
                        (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

FileHandle OpenSharing(const std::string& path, DWORD sharing, uint64_t* size,
                       FileIdentity* identity) {
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, sharing, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RecordLastError();
        return kInvalidFile;
    }
    // Only files on a disk: not pipes, consoles or devices.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        RecordError(ERROR_INVALID_PARAMETER);
        return kInvalidFile;
    }
    if (identity != nullptr) {
        // One call tells both.
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(handle, &info)) {
            RecordLastError();
            CloseHandle(handle);
            return kInvalidFile;
        }
        *identity = IdentityFrom(info);
        if (size != nullptr) *size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    } else if (size != nullptr) {
        *size = FileSize64(FromHandle(handle));
    }
    return FromHandle(handle);
}

}  // namespace

FileHandle OpenForReading(const std::string& path, uint64_t* size, FileIdentity* identity) {
    // Readers share with readers only: while the file is open here, no other
    // program can write to it, delete it or replace it.
    return OpenSharing(path, FILE_SHARE_READ, size, identity);
}

FileHandle OpenReplaceable(const std::string& path, uint64_t* size, FileIdentity* identity) {
    return OpenSharing(path, FILE_SHARE_READ | FILE_SHARE_DELETE, size, identity);
}

FileHandle OpenForReading(const HeldFolder*, const std::string&, const std::string& path,
                          uint64_t* size, FileIdentity* identity) {
    // Windows has no call that opens a file relative to an open folder.
    return OpenForReading(path, size, identity);
}

FileHandle CreateExclusive(const std::string& path) {
    if (FaultInjection::FailCreate()) {
        RecordError(ERROR_ACCESS_DENIED);
        return kInvalidFile;
    }
    // No sharing at all: no reader, in this program or another, sees the file
    // before it is complete.
    HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RecordLastError();
        return kInvalidFile;
    }
    return FromHandle(handle);
}

bool IdentityOf(FileHandle file, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(ToHandle(file), &info)) return false;
    identity = IdentityFrom(info);
    return true;
}

bool IdentityAt(const std::string& path, FileIdentity& identity) {
    // Opened only to ask: no access, every sharing; folders too.
    const HANDLE handle = CreateFileW(SystemPath(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = IdentityOf(FromHandle(handle), identity);
    CloseHandle(handle);
    return known;
}

size_t ReadFile(FileHandle file, void* buffer, size_t count) {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t want = FaultInjection::LimitRead(std::min(count - done, kLargestTransfer));
        DWORD got = 0;
        if (want == 0) break;
        if (!::ReadFile(ToHandle(file), out + done, static_cast<DWORD>(want), &got, nullptr)) {
            RecordLastError();
            break;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

size_t ReadAt(FileHandle file, void* buffer, size_t count, uint64_t offset) {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t want = FaultInjection::LimitRead(std::min(count - done, kLargestTransfer));
        if (want == 0) break;
        // With an offset given, a read of a handle opened without overlapped
        // I/O reads from there, whatever other threads read meanwhile.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD got = 0;
        if (!::ReadFile(ToHandle(file), out + done, static_cast<DWORD>(want), &got, &at)) {
            if (GetLastError() != ERROR_HANDLE_EOF) RecordLastError();
            break;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

size_t WriteFile(FileHandle file, const void* buffer, size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
        size_t allowed = FaultInjection::LimitWrite(std::min(count - done, kLargestTransfer));
        if (allowed == 0) {
            RecordError(ERROR_DISK_FULL);
            break;
        }
        DWORD put = 0;
        if (!::WriteFile(ToHandle(file), in + done, static_cast<DWORD>(allowed), &put, nullptr)) {
            RecordLastError();
            break;
        }
        if (put == 0) break;
        done += put;
    }
    return done;
}

bool SeekFromStart(FileHandle file, uint32_t distance) {
    // As a signed 32-bit distance, 2^31 and above would be negative.
    if (distance >= kSeekLimit) {
        RecordError(ERROR_NEGATIVE_SEEK);
        return false;
    }
    LARGE_INTEGER position{};
    position.QuadPart = distance;
    if (!SetFilePointerEx(ToHandle(file), position, nullptr, FILE_BEGIN)) {
        RecordLastError();
        return false;
    }
    return true;
}

uint64_t FileSize64(FileHandle file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(ToHandle(file), &size) || size.QuadPart < 0) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

bool StampAt(const std::string& path, FileStamp& stamp) {
    // Opened only to ask: no access, every sharing, so that it never stands
    // in the way of a compile replacing the file.
    const HANDLE handle = CreateFileW(SystemPath(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (known) stamp = FileStampOf(FromHandle(handle));
    CloseHandle(handle);
    return known;
}

FileStamp FileStampOf(FileHandle file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(ToHandle(file), &info)) return {};
    // File times count 100 ns steps from 1601-01-01 UTC.
    constexpr uint64_t kStepsPerSecond = 10000000;
    constexpr uint64_t kSecondsFrom1601To1970 = 11644473600;
    const uint64_t steps =
        (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
    FileStamp stamp;
    stamp.Id = (uint64_t{info.dwVolumeSerialNumber} << 32) ^
               ((uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
    stamp.Size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp.ModifiedSeconds = static_cast<int64_t>(steps / kStepsPerSecond) -
                            static_cast<int64_t>(kSecondsFrom1601To1970);
    stamp.ModifiedNanoseconds = static_cast<uint32_t>(steps % kStepsPerSecond * 100);
    return stamp;
}

void CloseFile(FileHandle file) {
    if (file == kInvalidFile) return;
    CloseHandle(ToHandle(file));
}

namespace {

// Replaces `target` while a reader holds it open with delete sharing (a
// server that reloads its archive): a rename with POSIX semantics, where the
// system has it, else the old file moved aside and deleted, which the system
// finishes once the reader lets go. False, with the first refusal's error
// kept, when neither is allowed.
bool ReplaceHeldOpen(const std::wstring& source, const std::wstring& target) {
    // FileRenameInfoEx, which the headers declare only for newer targets;
    // older systems refuse it and the second way is taken.
    constexpr auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    HANDLE handle = CreateFileW(source.c_str(), DELETE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        const size_t nameBytes = target.size() * sizeof(wchar_t);
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(nameBytes);
        std::copy(target.begin(), target.end(), rename->FileName);
        const bool renamed = SetFileInformationByHandle(handle, kRenameInfoEx, rename,
                                                        static_cast<DWORD>(buffer.size())) != 0;
        CloseHandle(handle);
        if (renamed) return true;
    }
    // The aside name does not end as an archive's does, so that a library
    // watching the folder never lists it.
    const std::wstring aside = target + L".replaced-" + std::to_wstring(GetTickCount64());
    if (!MoveFileExW(target.c_str(), aside.c_str(), 0)) return false;
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        MoveFileExW(aside.c_str(), target.c_str(), 0);
        return false;
    }
    DeleteFileW(aside.c_str());
    return true;
}

}  // namespace

bool ReplaceFile(const std::string& from, const std::string& to) {
    const std::wstring source = SystemPath(from);
    const std::wstring target = SystemPath(to);
    if (MoveFileExW(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    const DWORD error = GetLastError();
    if ((error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
        ReplaceHeldOpen(source, target)) {
        return true;
    }
    // Unlike Linux, Windows cannot replace a file that another program has
    // open, such as an archive a server is serving. Say so plainly.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool inUse = (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
                       attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
    if (inUse) {
        RecordError(error,
                    "the file there is in use by another program (a server serving it?) "
                    "and was kept as it was");
    } else {
        RecordError(error);
    }
    return false;
}

bool DeleteFile(const std::string& path) {
    if (DeleteFileW(SystemPath(path).c_str())) return true;
    RecordLastError();
    return false;
}

bool SameFile(const std::string& a, const std::string& b) {
    FileIdentity first;
    FileIdentity second;
    return IdentityAt(a, first) && IdentityAt(b, second) && first == second;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::string& path) {
    // Neither a folder nor a device: what Windows calls a file.
    const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace platform
