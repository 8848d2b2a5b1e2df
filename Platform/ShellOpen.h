// Asking the desktop to open a URL in the user's default browser.
#pragma once

#include <string>

namespace platform {

// Hands `url` to the desktop's opener (xdg-open) and returns at once: the
// opener is neither waited for nor checked, and leaves no zombie behind. The
// URL goes to the opener as one argument, never through a shell.
void ShellOpen(const std::string& url);

}  // namespace platform
