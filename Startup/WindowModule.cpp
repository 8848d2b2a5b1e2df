#include "Startup/WindowModule.h"

#include <cstdio>
#include <cstdlib>

#include "Platform/File.h"
#include "Platform/ProgramModule.h"

bool RunWindowWhereDisplayed(const StartupSettings& settings) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return false;
    const std::string folder = platform::ProgramFolder();
    // Beside the program in the build tree; under the library folder once installed.
    for (const char* relative : {PELORINE_WINDOW_MODULE_BUILT, PELORINE_WINDOW_MODULE_INSTALLED}) {
        const std::string path = folder + "/" + relative;
        if (!platform::IsFile(path)) continue;
        // A module that does not fit the program is reported here, rather
        // than failing in the window.
        std::string error;
        void* entry = platform::LoadModuleFunction(path, kWindowEntryName, error);
        if (entry == nullptr) {
            std::fprintf(stderr, "pelorine: cannot load the window: %s\n", error.c_str());
            return false;
        }
        return reinterpret_cast<WindowEntry>(entry)(settings);
    }
    return false;
}
