#include "Startup/ConsoleBrowse.h"

#include <cstdint>
#include <cstdio>

#include "Platform/ErrorText.h"
#include "Platform/StopRequest.h"
#include "Startup/StatusText.h"
#include "WebServer/Listener.h"
#include "WebServer/ServerState.h"

namespace {

// How often the server's progress is looked at while waiting for a stop.
constexpr int kPollMilliseconds = 100;

// Why the server ended, in one line; empty while it still loads or listens.
std::string EndReason(const ServerState& server, const StartupFields& fields) {
    const std::string& archivePath = fields.BrowseArchive;
    const int error = server.ServerErrorNumber.load();
    const std::string because = error != 0 ? ": " + platform::ErrorText(error) : "";
    switch (server.CurrentServerStage.load()) {
        case ServerStage::ArchiveNotOpened:
            return (fields.BrowseLibrary ? "cannot read the library folder '"
                                         : "cannot open the archive '") +
                   archivePath + "'" + because;
        case ServerStage::NoSocket:
            return "cannot create a network socket" + because;
        case ServerStage::PortNotBound:
            return "cannot listen on port " + std::to_string(kServerPort) + because;
        case ServerStage::Failed:
            return "the web server stopped unexpectedly";
        case ServerStage::LzoNotReady:
            return "cannot decompress: the LZO library failed to initialise";
        case ServerStage::LogNotOpened:
            return "cannot open the access log" + because;
        case ServerStage::NotStarted:
        case ServerStage::Loading:
        case ServerStage::Listening:
            break;
    }
    return {};
}

}  // namespace

int RunConsoleBrowse(StartupActions& actions, const StartupFields& fields) {
    // Ctrl+C and the like are taken here, synchronously; from before the server
    // starts, so that no server or connection thread is ever interrupted.
    platform::TakeStopRequests();

    if (const std::string error = actions.Browse(fields); !error.empty()) {
        std::fprintf(stderr, "pelorine: %s\n", error.c_str());
        return 1;
    }

    // No compile runs in this run: its progress stays as at the start.
    const ServerState& server = actions.ServerStatus();
    StatusPrinter printer(actions.CompileStatus(), server);
    bool announced = false;
    for (;;) {
        const std::string reason = EndReason(server, fields);
        if (!reason.empty()) {
            std::fprintf(stderr, "pelorine: %s\n", reason.c_str());
            return 1;
        }
        // Status lines only once the outcome is known, so that a server that
        // cannot start does not first claim to be active.
        if (server.CurrentServerStage.load() == ServerStage::Listening) {
            printer.Update();
            if (!announced) {
                std::printf("Start page: %s (Ctrl+C stops the server)\n",
                            actions.StartPage().c_str());
                std::fflush(stdout);
                announced = true;
            }
        }
        if (platform::WaitForStopRequest(kPollMilliseconds)) return 0;
    }
}
