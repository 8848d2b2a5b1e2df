#include "WebServer/Listener.h"

#include <cerrno>
#include <cstdint>
#include <thread>

#include "Platform/File.h"
#include "Platform/Socket.h"
#include "Platform/Thread.h"
#include "Shared/ArchiveState.h"
#include "Shared/LoadIndex.h"
#include "Shared/Lzo.h"
#include "WebServer/Connection.h"
#include "WebServer/ServerState.h"

ServerState& Server = *new ServerState;

void ServerState::Reset() {
    ServerActive = false;
    CurrentServerStage = ServerStage::NotStarted;
    ServerErrorNumber = 0;
    Rules = {};
}

namespace {

void EndWith(ServerStage stage, int errorNumber) {
    Server.ServerErrorNumber = errorNumber;
    Server.CurrentServerStage = stage;
}

[[noreturn]] void AcceptForever(platform::Socket listener) {
    for (;;) {
        const platform::Socket accepted = platform::Accept(listener);
        if (accepted == platform::kInvalidSocket) {
            std::this_thread::sleep_for(kAcceptRetryPause);
            continue;
        }
        // A connection no thread can serve is closed rather than left open.
        if (!platform::StartThread([accepted] { ConnectionThread(accepted); },
                                   kConnectionStackBytes)) {
            platform::CloseSocket(accepted);
        }
    }
}

// Returns only when the port cannot be used; the listener is then closed.
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
    Server.CurrentServerStage = ServerStage::Listening;
    AcceptForever(listener);
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
        if (!LoadIndex(job.BrowseArchivePath)) {
            EndWith(ServerStage::ArchiveNotOpened, errno);
            return;
        }
        Server.Rules = PageRulesFor(job.Options);
        ListenAndAccept(job.Port);
        platform::CloseFile(Archive.ArchiveHandle);
        Archive.ArchiveHandle = platform::kInvalidFile;
    } catch (...) {
        EndWith(ServerStage::Failed, 0);
    }
}
