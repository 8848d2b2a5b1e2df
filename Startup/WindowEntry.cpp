// The window module's entry point (see WindowModule.h).
#include "Startup/WindowModule.h"
#include "Startup/WindowProgram.h"

extern "C" __attribute__((visibility("default"))) bool PelorineRunWindow(
    const StartupSettings& settings) {
    if (!OpenWindowDisplay()) return false;
    RunWindow(settings);
    return true;
}
