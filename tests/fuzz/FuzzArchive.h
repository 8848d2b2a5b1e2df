// Puts fuzz input where the server reads archives from: a file on a memory
// file system, loaded afresh for every input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "Shared/ArchiveState.h"
#include "Shared/LoadIndex.h"

inline const std::string& FuzzArchivePath() {
    static const std::string path = [] {
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(folder) + "/pelorine-fuzz-" + std::to_string(getpid()) + ".pel";
    }();
    return path;
}

// Writes `bytes` as the archive and loads its index; false if it could not.
inline bool LoadFuzzArchive(const uint8_t* bytes, size_t size) {
    Archive.Reset();
    FILE* file = std::fopen(FuzzArchivePath().c_str(), "wb");
    if (file == nullptr) return false;
    // An empty input may come with no buffer at all.
    const bool written = size == 0 || std::fwrite(bytes, 1, size, file) == size;
    std::fclose(file);
    return written && LoadIndex(FuzzArchivePath());
}
