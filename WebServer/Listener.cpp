#include "WebServer/Listener.h"

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "Platform/File.h"
#include "Platform/Socket.h"
#include "Shared/LoadedArchive.h"
#include "Shared/Lzo.h"
#include "WebServer/EventLoop.h"
#include "WebServer/LoaderPool.h"
#include "WebServer/Site.h"

namespace {

void EndWith(ServerState& status, ServerStage stage, int errorNumber) {
    status.ServerErrorNumber = errorNumber;
    status.CurrentServerStage = stage;
}

// The budget for large bodies, in bytes.
size_t BudgetBytes(const BrowseOptions& options) {
    constexpr size_t kMiB = size_t{1} << 20;
    return size_t{options.MemoryLimitMiB} * kMiB;
}

// Serves the site until `stop` is requested, or returns when the port
// cannot be used or served; the listener is then closed.
void ListenAndAccept(const LoadedArchive& archive, const ServeJob& job, ServerState& status,
                     StopSignal& stop) {
    const uint16_t port = job.Port;
    const platform::Socket listener = platform::CreateStreamSocket();
    if (listener == platform::kInvalidSocket) {
        EndWith(status, ServerStage::NoSocket, errno);
        return;
    }
    // Binding tells whether the port is free. On Linux the address-reuse option
    // can let two binds succeed, and then the second listen is what fails.
    if (!platform::BindAllInterfaces(listener, port) ||
        !platform::Listen(listener, kListenBacklog)) {
        const int error = errno;
        platform::ShutdownSending(listener);
        platform::CloseSocket(listener);
        EndWith(status, ServerStage::PortNotBound, error);
        return;
    }
    LoaderPool loaders(LoaderCount());
    Site site(archive, PageRulesFor(job.Options),
              ArchiveVersionOf(platform::FileStampOf(archive.File())), loaders,
              BudgetBytes(job.Options));
    if (loaders.Ready()) {
        status.CurrentServerStage = ServerStage::Listening;
        ServeConnections(listener, site, loaders, stop);
    }
    loaders.Stop();
    const int error = errno;
    platform::CloseSocket(listener);
    // No event loop or loader could be made: nothing served the port.
    if (!stop.Requested()) EndWith(status, ServerStage::Failed, error);
}

}  // namespace

void ServerThread(const ServeJob& job, ServerState& status, StopSignal& stop) {
    try {
        status.ServerActive = true;
        status.CurrentServerStage = ServerStage::Loading;
        if (!LzoReady()) {
            EndWith(status, ServerStage::LzoNotReady, 0);
            return;
        }
        ArchiveLoad load = LoadArchive(job.BrowseArchivePath);
        if (!load.Archive) {
            EndWith(status, ServerStage::ArchiveNotOpened, load.ErrorNumber);
            return;
        }
        ListenAndAccept(*load.Archive, job, status, stop);
    } catch (...) {
        EndWith(status, ServerStage::Failed, 0);
    }
}

bool BrowseServer::Start(const ServeJob& job) {
    if (thread_.joinable()) return false;
    try {
        thread_ = std::thread([this, job] { ServerThread(job, status_, stop_); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void BrowseServer::Stop() {
    stop_.Request();
    if (thread_.joinable()) thread_.join();
}
