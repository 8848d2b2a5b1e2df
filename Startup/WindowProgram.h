// The program run with its window.
#pragma once

#include <string>
#include <vector>

// Opens the X display named by DISPLAY for the window toolkit. False, with
// nothing changed, when there is no display to open.
bool OpenWindowDisplay();

// Creates the window, runs it until it is closed, and ends the process with
// exit status 0 at once: running workers are neither told nor waited for.
[[noreturn]] void RunWindow(const std::vector<std::string>& arguments);
