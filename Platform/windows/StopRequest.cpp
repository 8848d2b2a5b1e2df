#include "Platform/StopRequest.h"

#include "Platform/windows/Windows.h"

namespace platform {
namespace {

// Set by the console's handler thread, waited for by the program. Never
// closed: the handler may run while the process exits.
HANDLE stopEvent = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            SetEvent(stopEvent);
            // Windows ends the process once this returns for a closing
            // console; until then the program may finish its stop.
            if (event == CTRL_CLOSE_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void TakeStopRequests() {
    if (stopEvent == nullptr) stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool WaitForStopRequest(int milliseconds) {
    if (stopEvent == nullptr) {
        Sleep(static_cast<DWORD>(milliseconds));
        return false;
    }
    return WaitForSingleObject(stopEvent, static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
}

}  // namespace platform
