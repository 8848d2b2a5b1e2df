#include "Startup/WindowModule.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

// The folder that holds the running program's file; empty when unknown.
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return "";
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.rfind('/'));
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool RunWindowWhereDisplayed(const std::vector<std::string>& arguments) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return false;
    const std::string folder = ProgramFolder();
    // Beside the program in the build tree; under the library folder once installed.
    for (const char* relative : {PELORINE_WINDOW_MODULE_BUILT, PELORINE_WINDOW_MODULE_INSTALLED}) {
        const std::string path = folder + "/" + relative;
        if (!IsFile(path)) continue;
        // Every reference resolved now, so that a module that does not fit
        // the program fails here, and is reported, rather than in the window.
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        void* entry = module == nullptr ? nullptr : dlsym(module, kWindowEntryName);
        if (entry == nullptr) {
            std::fprintf(stderr, "pelorine: cannot load the window: %s\n", dlerror());
            return false;
        }
        return reinterpret_cast<WindowEntry>(entry)(arguments);
    }
    return false;
}
