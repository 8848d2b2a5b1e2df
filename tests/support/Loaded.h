// Loading an archive in a test.
#pragma once

#include <string>

#include "Shared/LoadedArchive.h"

// The archive at `path` as the server loads it; throws, failing the test, when
// it cannot be opened.
inline LoadedArchive Loaded(const std::string& path) {
    return std::move(LoadArchive(path).Archive.value());
}
