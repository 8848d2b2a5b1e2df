// The window module's entry point (see WindowModule.h).
#include "Startup/WindowModule.h"
#include "Startup/WindowProgram.h"

extern "C" __attribute__((visibility("default"))) void PelorineRunWindow(
    const std::vector<std::string>& arguments) {
    if (OpenWindowDisplay()) RunWindow(arguments);
}
