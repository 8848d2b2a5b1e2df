// The program run with its window.
#pragma once

#include "Startup/CommandLine.h"

// Opens the X display named by DISPLAY for the window toolkit. False, with
// nothing changed, when there is no display to open.
bool OpenWindowDisplay();

// Creates the window and runs it until it is closed; then ends what it
// started and waits for it.
void RunWindow(const StartupSettings& settings);
