// The console's progress line while it compiles, on a terminal only: files and
// megabytes packed, the speed and the current file, redrawn in place.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Compiler/Progress.h"

// The line's text, at most `width` bytes: the file name is cut to fit.
std::string ProgressLineText(uint32_t files, uint64_t bytes, double seconds,
                             const std::string& fileName, size_t width);

class ProgressLine {
  public:
    // Draws `progress` on `out` only when `enabled`; otherwise every call
    // does nothing.
    ProgressLine(std::FILE* out, bool enabled, const CompileProgress& progress);

    // Redraws the line from the compile's progress, at most ten times a second
    // unless asked for `immediately` (the final figures of a short compile).
    void Update(bool immediately = false);
    // When Update will next draw; never, when it does not draw at all.
    std::chrono::steady_clock::time_point NextDraw() const {
        return enabled_ ? nextDraw_ : std::chrono::steady_clock::time_point::max();
    }
    // Wipes the line, so that other output starts on a clean line.
    void Clear();

  private:
    std::FILE* out_;
    bool enabled_;
    const CompileProgress& progress_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point nextDraw_;
    size_t drawnLength_ = 0;
};
