#pragma once

#include <string>
#include <vector>

// Runs the program without a window: walks the command line like the window
// does, prints each new status text on standard output, and returns the exit
// status (0 done, 1 failed, 2 nothing to do).
int RunConsole(const std::vector<std::string>& arguments);
