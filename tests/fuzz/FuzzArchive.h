// Puts fuzz input where the server reads archives from: a file on a memory
// file system, loaded afresh for every input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "Shared/LoadedArchive.h"

inline const std::string& FuzzArchivePath() {
    static const std::string path = [] {
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(folder) + "/pelorine-fuzz-" + std::to_string(getpid()) + ".pel";
    }();
    // Registered once the path exists, so that it runs before the path is
    // destroyed: a fuzz run ends by exit(), and each run left a file behind.
    static const bool removedAtExit =
        std::atexit([] { std::remove(FuzzArchivePath().c_str()); }) == 0;
    (void)removedAtExit;
    return path;
}

// Writes `bytes` as the archive and loads it; nothing if it could not.
inline std::optional<LoadedArchive> LoadFuzzArchive(const uint8_t* bytes, size_t size) {
    FILE* file = std::fopen(FuzzArchivePath().c_str(), "wb");
    if (file == nullptr) return std::nullopt;
    // An empty input may come with no buffer at all.
    const bool written = size == 0 || std::fwrite(bytes, 1, size, file) == size;
    std::fclose(file);
    if (!written) return std::nullopt;
    return std::move(LoadArchive(FuzzArchivePath()).Archive);
}
