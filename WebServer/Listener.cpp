#include "WebServer/Listener.h"

#include <cerrno>
#include <cstdint>
#include <thread>

#include "Platform/File.h"
#include "Platform/Socket.h"
#include "Platform/Thread.h"
#include "Shared/EntryTable.h"
#include "Shared/LoadIndex.h"
#include "WebServer/Connection.h"
#include "WebServer/ServerState.h"

namespace {

void EndWith(ServerStage stage, int errorNumber) {
    ServerErrorNumber = errorNumber;
    CurrentServerStage = stage;
}

void* SocketArgument(platform::Socket socket) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(socket));
}

[[noreturn]] void AcceptForever(platform::Socket listener) {
    for (;;) {
        const platform::Socket accepted = platform::Accept(listener);
        if (accepted == platform::kInvalidSocket) {
            std::this_thread::sleep_for(kAcceptRetryPause);
            continue;
        }
        // A connection no thread can serve is closed rather than left open.
        if (!platform::StartThread(ConnectionThread, SocketArgument(accepted),
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
    CurrentServerStage = ServerStage::Listening;
    AcceptForever(listener);
}

}  // namespace

void ServerThread(void* argument) {
    try {
        ServerActive = true;
        CurrentServerStage = ServerStage::Loading;
        const auto port = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(argument) & 0xFFFF);
        if (!LoadIndex(BrowseArchivePath)) {
            EndWith(ServerStage::ArchiveNotOpened, errno);
            return;
        }
        ListenAndAccept(port);
        platform::CloseFile(ArchiveHandle);
        ArchiveHandle = platform::kInvalidFile;
    } catch (...) {
        EndWith(ServerStage::Failed, 0);
    }
}
