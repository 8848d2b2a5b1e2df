// How hard each file is compressed. Both levels write plain LZO1X streams,
// which every reader of the archive decompresses alike.
#pragma once

#include <optional>
#include <string_view>

enum class CompileLevel {
    Fast,  // LZO1X-1: quick, and the archive every earlier version wrote
    Best,  // LZO1X-999: a slow search for shorter streams, for archives read many times
};

// The level named "fast" or "best", exactly; nothing for any other text.
std::optional<CompileLevel> CompileLevelNamed(std::string_view name);
