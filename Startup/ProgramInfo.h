// What the program says about itself: its usage, --help and --version.
#pragma once

#include <optional>

#include "Startup/CommandLine.h"

// The synopsis, printed on standard error when the console has nothing to do.
extern const char* const kUsage;

// Answers --help or --version, whichever comes first, on standard output and
// returns the exit status 0; every other argument is then left alone, so no
// action runs and no window opens. Nothing when neither is given.
std::optional<int> AnswerInfoOption(const StartupSettings& settings);

// Refuses a command line that cannot be meant (a --compile-level that is not
// fast or best) with the reason and the usage on standard error, and returns
// the exit status 2; nothing when it is usable.
std::optional<int> RefuseUsageError(const StartupSettings& settings);
