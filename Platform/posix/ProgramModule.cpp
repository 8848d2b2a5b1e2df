#include "Platform/ProgramModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace platform {

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return "";
    const std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.rfind('/'));
}

void* LoadModuleFunction(const std::string& path, const char* name, std::string& error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* function = module == nullptr ? nullptr : dlsym(module, name);
    if (function == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "";
    }
    return function;
}

}  // namespace platform
