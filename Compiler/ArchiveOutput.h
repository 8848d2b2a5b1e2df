// Appending to the archive being written, with a memory of any write that
// failed: one lost byte makes the whole archive worthless, so the first
// failure stops the walk and the compile puts no archive in place.
#pragma once

#include <cstddef>
#include <string>

// Writes `count` bytes at WritePosition and advances it. False, and the
// failure recorded, when not every byte could be written.
bool AppendToArchive(const void* bytes, size_t count);

// True once any write to the archive has failed; the reason is kept.
bool ArchiveWriteFailed();
std::string ArchiveWriteError();

// Forgets an earlier failure, at the start of a compile.
void ResetArchiveOutput();
