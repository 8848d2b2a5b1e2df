// Where a command of the archive tool writes: its results, and one line per
// problem. The program passes standard output and standard error; the fuzz
// targets pass a sink.
#pragma once

#include <cstdio>

struct ToolStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// Exit statuses of the tool.
inline constexpr int kExitSound = 0;
inline constexpr int kExitProblem = 1;  // something was wrong with the archive or an entry
inline constexpr int kExitUsage = 2;
