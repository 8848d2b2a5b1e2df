// Whether the user is watching the program's output on a terminal.
#pragma once

namespace platform {

// True when standard error is a terminal (a console window on Windows), so
// that a line redrawn in place shows as one line rather than as many.
bool StandardErrorIsTerminal();

}  // namespace platform
