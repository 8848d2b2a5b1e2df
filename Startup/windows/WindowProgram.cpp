#include "Platform/windows/Windows.h"
#include "Startup/WindowModule.h"
#include "Startup/windows/TfrmStartup.h"

// Windows always has a desktop, and the window is linked into the program.
bool RunWindowWhereDisplayed(const StartupSettings& settings) {
    // A console that was opened for this program alone (started from
    // Explorer) is closed: the window is all.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
    TfrmStartup frmStartup(settings);
    frmStartup.ShowFirst();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (frmStartup.TakeAccelerator(message)) continue;
        // Tab and Shift+Tab between the fields.
        if (IsDialogMessageW(frmStartup.Handle(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The window ends the compile and the server it started as it goes.
    return true;
}
