#include "Platform/Terminal.h"

#include "Platform/windows/Windows.h"

namespace platform {

bool StandardErrorIsTerminal() {
    // Only a console has a console mode; pipes and files do not.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace platform
