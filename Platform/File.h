// Files with the effects the rest of the program relies on: a reader shares the
// file with other readers, a writer holds it exclusively, and seeks take a
// signed 32-bit distance from the start of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

#ifdef _WIN32
// A Windows HANDLE, held as a number; INVALID_HANDLE_VALUE is -1.
using FileHandle = intptr_t;
#else
using FileHandle = int;
#endif
inline constexpr FileHandle kInvalidFile = -1;

// What names one file or folder on the machine, whatever path leads to it:
// its volume (device) and its number there.
struct FileIdentity {
    uint64_t Volume = 0;
    uint64_t Number = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Opens an existing regular file for reading, shared with other readers.
// Fails for folders, FIFOs and devices. `size` and `identity`, when given,
// receive the file's size as FileSize64 would give it and its identity,
// without further calls.
FileHandle OpenForReading(const std::string& path, uint64_t* size = nullptr,
                          FileIdentity* identity = nullptr);

// The same for a file served while it may be replaced: on Windows it is
// shared with deleting too, so that a compile may rename a new archive over
// it (where the system allows; this handle keeps reading the old one). Other
// systems never stop a rename over an open file.
FileHandle OpenReplaceable(const std::string& path, uint64_t* size = nullptr,
                           FileIdentity* identity = nullptr);

class HeldFolder;
// The same for the file `name` in `folder`, which `path` leads to: opened by
// its name in the folder held open where the system can, else by `path`.
FileHandle OpenForReading(const HeldFolder* folder, const std::string& name,
                          const std::string& path, uint64_t* size, FileIdentity* identity);

// Creates (or truncates) a file for writing. On Windows no other opener
// shares it while it is open; Linux has no share modes.
FileHandle CreateExclusive(const std::string& path);

// The identity of an open file; false when it cannot be told.
bool IdentityOf(FileHandle file, FileIdentity& identity);

// The identity of the file or folder `path` leads to, through links; false
// when there is none.
bool IdentityAt(const std::string& path, FileIdentity& identity);

// Reads up to `count` bytes; the result is the count delivered (short at end of
// file or on an error, 0 when nothing could be read).
size_t ReadFile(FileHandle file, void* buffer, size_t count);

// Reads up to `count` bytes from `offset` without moving the file position,
// so that several threads may read one handle at once; the result is as for
// ReadFile.
size_t ReadAt(FileHandle file, void* buffer, size_t count, uint64_t offset);

// Writes `count` bytes; the result is the count written (short on an error such
// as a full disk).
size_t WriteFile(FileHandle file, const void* buffer, size_t count);

// Moves the position to `distance` bytes from the start. The distance is a
// signed 32-bit value: 2^31 or more fails and leaves the position unchanged.
bool SeekFromStart(FileHandle file, uint32_t distance);

// The file's full size in bytes (0 when it cannot be told).
uint64_t FileSize64(FileHandle file);

// What tells one version of a file from another.
struct FileStamp {
    uint64_t Id = 0;  // the volume and the file's number on it, folded together
    uint64_t Size = 0;
    int64_t ModifiedSeconds = 0;  // last written, in seconds since 1970-01-01 UTC
    uint32_t ModifiedNanoseconds = 0;
};

// The stamp of an open file; all zero when it cannot be told.
FileStamp FileStampOf(FileHandle file);

// The stamp of the file `path` leads to, without opening it for reading (a
// folder watched for changes is asked often); false when there is none.
bool StampAt(const std::string& path, FileStamp& stamp);

void CloseFile(FileHandle file);

// Moves `from` over `to` in one step, replacing what stood there.
bool ReplaceFile(const std::string& from, const std::string& to);

bool DeleteFile(const std::string& path);

bool IsFolder(const std::string& path);

// Whether `path` leads (through links) to a regular file.
bool IsFile(const std::string& path);

// True when both paths exist and name one file (also through links); a path
// that does not exist is no file.
bool SameFile(const std::string& a, const std::string& b);

// The system's reason for the last failed call on this thread, in words.
std::string LastErrorText();

// The largest signed 32-bit seek distance plus one: no position at or beyond it
// can be reached.
inline constexpr uint64_t kSeekLimit = uint64_t{1} << 31;

}  // namespace platform
