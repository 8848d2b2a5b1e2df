#include "Platform/ShellOpen.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

extern char** environ;

namespace platform {
namespace {

constexpr const char* kOpener = "xdg-open";

// The opener's full path from PATH, looked up before forking: between fork
// and exec only async-signal-safe calls are allowed, and the caller has
// other threads.
std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    const std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string_view::npos) end = folders.size();
        // An empty entry stands for the current folder.
        std::string candidate(end > start ? folders.substr(start, end - start) : ".");
        candidate += '/';
        candidate += program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

}  // namespace

void ShellOpen(const std::string& url) {
    const std::string opener = FindOnPath(kOpener);
    if (opener.empty()) return;
    char* const arguments[] = {const_cast<char*>(kOpener), const_cast<char*>(url.c_str()), nullptr};

    // Two forks: the middle child ends at once and is reaped here, so the
    // opener is adopted by init and never waited for by this process.
    pid_t middle = fork();
    if (middle < 0) return;
    if (middle == 0) {
        pid_t openerPid = fork();
        if (openerPid == 0) {
            // Nothing of ours (the listening socket, the archive) may live on
            // in the browser the opener starts.
            close_range(3, ~0U, 0);
            execve(opener.c_str(), arguments, environ);
            _exit(127);
        }
        _exit(0);
    }
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace platform
