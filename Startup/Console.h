#pragma once

#include "Startup/CommandLine.h"

// Runs the program without a window: performs the command line's action as
// the window does, prints each new status text on standard output, and returns the exit
// status (0 done, 1 failed, 2 nothing to do).
int RunConsole(const StartupSettings& settings);
