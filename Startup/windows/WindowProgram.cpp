#include <cstdio>
#include <cstdlib>

#include "Platform/windows/Windows.h"
#include "Startup/WindowModule.h"
#include "Startup/windows/TfrmStartup.h"

// Windows always has a desktop, and the window is linked into the program.
void RunWindowWhereDisplayed(const std::vector<std::string>& arguments) {
    // A console that was opened for this program alone (started from
    // Explorer) is closed: the window is all.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
    // Lives as long as the process.
    auto* frmStartup = new TfrmStartup(arguments);
    frmStartup->ShowFirst();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (frmStartup->TakeAccelerator(message)) continue;
        // Tab and Shift+Tab between the fields.
        if (IsDialogMessageW(frmStartup->Handle(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // A quick exit: nothing that runs at a normal exit may touch what a
    // compile or a connection still uses.
    std::fflush(nullptr);
    std::_Exit(0);
}
