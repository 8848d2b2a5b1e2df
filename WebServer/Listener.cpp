#include "WebServer/Listener.h"

#include <cerrno>
#include <cstdint>

#include "Platform/File.h"
#include "Platform/Socket.h"
#include "Shared/LoadedArchive.h"
#include "Shared/Lzo.h"
#include "WebServer/EventLoop.h"
#include "WebServer/PageCache.h"
#include "WebServer/ServerState.h"

ServerState& Server = *new ServerState;

void ServerState::Reset() {
    ServerActive = false;
    CurrentServerStage = ServerStage::NotStarted;
    ServerErrorNumber = 0;
    Rules = {};
    Archive = nullptr;
    Version = {};
}

namespace {

void EndWith(ServerStage stage, int errorNumber) {
    Server.ServerErrorNumber = errorNumber;
    Server.CurrentServerStage = stage;
}

// Returns only when the port cannot be used or served; the listener is then
// closed.
void ListenAndAccept(uint16_t port) {
    const platform::Socket listener = platform::CreateStreamSocket();
    if (listener == platform::kInvalidSocket) {
        EndWith(ServerStage::NoSocket, errno);
        return;
    }
    // Binding tells whether the port is free. On Linux the address-reuse option
    // can let two binds succeed, and then the second listen is what fails.
    if (!platform::BindAllInterfaces(listener, port) ||
        !platform::Listen(listener, kListenBacklog)) {
        const int error = errno;
        platform::ShutdownSending(listener);
        platform::CloseSocket(listener);
        EndWith(ServerStage::PortNotBound, error);
        return;
    }
    ServedPages.Clear();
    Server.CurrentServerStage = ServerStage::Listening;
    ServeConnections(listener);
    // No event loop could be made: nothing serves the port.
    const int error = errno;
    platform::CloseSocket(listener);
    EndWith(ServerStage::Failed, error);
}

}  // namespace

void ServeJob::operator()() const {
    ServerThread(*this);
}

void ServerThread(const ServeJob& job) {
    try {
        Server.ServerActive = true;
        Server.CurrentServerStage = ServerStage::Loading;
        if (!LzoReady()) {
            EndWith(ServerStage::LzoNotReady, 0);
            return;
        }
        ArchiveLoad load = LoadArchive(job.BrowseArchivePath);
        if (!load.Archive) {
            EndWith(ServerStage::ArchiveNotOpened, load.ErrorNumber);
            return;
        }
        Server.Rules = PageRulesFor(job.Options);
        Server.Archive = &*load.Archive;
        Server.Version = ArchiveVersionOf(platform::FileStampOf(load.Archive->File()));
        ListenAndAccept(job.Port);
    } catch (...) {
        EndWith(ServerStage::Failed, 0);
    }
}
