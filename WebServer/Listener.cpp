#include "WebServer/Listener.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>

#include "Platform/File.h"
#include "Platform/Socket.h"
#include "Search/ArchiveSource.h"
#include "Search/IndexCache.h"
#include "Search/SiteSearch.h"
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
    Search = nullptr;
}

namespace {

void EndWith(ServerStage stage, int errorNumber) {
    Server.ServerErrorNumber = errorNumber;
    Server.CurrentServerStage = stage;
}

// Returns only when the port cannot be used or served; the listener is then
// closed.
// The search of the served archive: its index opened from the user's cache
// folder or built there in the background (in memory, said on standard error,
// when that folder cannot be written).
std::unique_ptr<SiteSearch> StartSearch(const std::string& archivePath,
                                        const LoadedArchive& archive) {
    SearchSettings settings;
    settings.Identity = ArchiveIdentity(archivePath);
    settings.CacheFolder = SearchCacheFolder();
    settings.Threads = std::max(1u, std::thread::hardware_concurrency());
    auto search = std::make_unique<SiteSearch>(
        SourceOfArchive(archive), std::move(settings),
        [](const std::string& line) { std::fprintf(stderr, "pelorine: %s\n", line.c_str()); });
    search->Start();
    return search;
}

void ListenAndAccept(const ServeJob& job, const LoadedArchive& archive) {
    const uint16_t port = job.Port;
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
    // Started once the port is taken, so that listening waits for nothing;
    // it lives as long as the connections that ask it.
    std::unique_ptr<SiteSearch> search;
    if (job.Options.Search) search = StartSearch(job.BrowseArchivePath, archive);
    Server.Search = search.get();
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
        ListenAndAccept(job, *load.Archive);
    } catch (...) {
        EndWith(ServerStage::Failed, 0);
    }
}
