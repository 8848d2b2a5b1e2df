#include "Startup/ConsoleBrowse.h"

#include <signal.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "Platform/Thread.h"
#include "Startup/StatusText.h"
#include "WebServer/Listener.h"
#include "WebServer/ServerState.h"

namespace {

// How often the server's progress is looked at while waiting for a signal.
constexpr long kPollNanoseconds = 100L * 1000 * 1000;

// Why the server ended, in one line; empty while it still loads or listens.
std::string EndReason(const std::string& archivePath) {
    const int error = Server.ServerErrorNumber.load();
    // strerror_r (the GNU form, which returns the text): strerror may share
    // one buffer between threads.
    char text[256];
    const std::string because =
        error != 0 ? std::string(": ") + strerror_r(error, text, sizeof text) : "";
    switch (Server.CurrentServerStage.load()) {
        case ServerStage::ArchiveNotOpened:
            return "cannot open the archive '" + archivePath + "'" + because;
        case ServerStage::NoSocket:
            return "cannot create a network socket" + because;
        case ServerStage::PortNotBound:
            return "cannot listen on port " + std::to_string(kServerPort) + because;
        case ServerStage::Failed:
            return "the web server stopped unexpectedly";
        case ServerStage::LzoNotReady:
            return "cannot decompress: the LZO library failed to initialise";
        case ServerStage::NotStarted:
        case ServerStage::Loading:
        case ServerStage::Listening:
            break;
    }
    return {};
}

}  // namespace

int RunConsoleBrowse(const std::string& archivePath) {
    // The stop signals are taken here, synchronously; blocked before the server
    // starts, so that no server or connection thread is ever interrupted.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (!platform::StartThread(ServeJob{archivePath, kServerPort})) {
        std::fprintf(stderr, "pelorine: cannot start the web server thread\n");
        return 1;
    }

    StatusPrinter printer;
    bool announced = false;
    const timespec poll{0, kPollNanoseconds};
    for (;;) {
        const std::string reason = EndReason(archivePath);
        if (!reason.empty()) {
            std::fprintf(stderr, "pelorine: %s\n", reason.c_str());
            return 1;
        }
        // Status lines only once the outcome is known, so that a server that
        // cannot start does not first claim to be active.
        if (Server.CurrentServerStage.load() == ServerStage::Listening) {
            printer.Update();
            if (!announced) {
                std::printf("Start page: %s (Ctrl+C stops the server)\n", kStartPageUrl.c_str());
                std::fflush(stdout);
                announced = true;
            }
        }
        if (sigtimedwait(&stopSignals, nullptr, &poll) > 0) return 0;
    }
}
