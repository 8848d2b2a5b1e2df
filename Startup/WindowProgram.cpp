#include "Startup/WindowProgram.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <cstdlib>

#include "Startup/TfrmStartup.h"

bool OpenWindowDisplay() {
    // The toolkit's own opening ends the process when it fails; this one only
    // reports, so that the program can fall back to the console.
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    fl_open_display(display);
    return true;
}

void RunWindow(const StartupSettings& settings) {
    TfrmStartup frmStartup(settings);
    frmStartup.ShowFirst();
    Fl::run();
    // The window ends the compile and the server it started as it goes.
}
