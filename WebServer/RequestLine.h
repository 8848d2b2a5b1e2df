// The first line of an HTTP request: gathered from what arrives, then split.
#pragma once

#include <cstddef>
#include <string>

// Longest request line served. Far above what browsers send in practice
// (common servers stop at 8 KiB), while a peer that never sends an LF cannot
// make a connection's memory grow without bound.
inline constexpr size_t kMaxRequestLineLength = size_t{64} * 1024;

enum class LineProgress { Incomplete, Complete, TooLong };

// Appends received bytes to `line` up to the first LF, which completes it;
// bytes after the LF are dropped, CR bytes are skipped and every other byte
// (NUL and TAB included) is kept. TooLong once the line would exceed
// kMaxRequestLineLength.
LineProgress AppendToRequestLine(std::string& line, const char* bytes, size_t count);

struct RequestLine {
    std::string Method;
    std::string Target;
    std::string Version;
};

// Method up to the first space, target up to the next space, version all the
// rest (further spaces included). Without a first space all three are empty;
// without a second one target and version are empty.
RequestLine SplitRequestLine(const std::string& line);

struct RequestTarget {
    std::string Path;   // before the first "?"
    std::string Query;  // after it; not used
};

RequestTarget SplitTarget(const std::string& target);
