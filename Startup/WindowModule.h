// The window front end lives in a module of its own (pelorine-window.so),
// loaded only when a display is to be used: a console run never loads the
// window toolkit and the many libraries under it. The module's references to
// the rest of the program resolve to the program itself. On Windows the
// window (Startup/windows) is linked into the program instead.
#pragma once

#include "Startup/CommandLine.h"

// The module's entry point, by this name: shows the window until it is closed
// and returns true when a display can be opened; returns false at once when
// none can.
inline constexpr const char* kWindowEntryName = "PelorineRunWindow";
using WindowEntry = bool (*)(const StartupSettings& settings);

// Runs the window until it is closed where DISPLAY names a display and the
// module is found, and returns true; returns false otherwise, so that the
// caller runs the console. A module that is found but cannot be loaded is
// reported on standard error.
bool RunWindowWhereDisplayed(const StartupSettings& settings);
