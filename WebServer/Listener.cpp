#include "WebServer/Listener.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <system_error>

#include "Platform/FaultInjection.h"
#include "Platform/File.h"
#include "Platform/Socket.h"
#include "Search/ArchiveSource.h"
#include "Search/IndexCache.h"
#include "Search/SiteSearch.h"
#include "Shared/LoadedArchive.h"
#include "Shared/Lzo.h"
#include "WebServer/AccessLog.h"
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

// The search of the served archive: its index opened from the user's cache
// folder or built there in the background (in memory, said on standard error,
// when that folder cannot be written).
std::unique_ptr<SiteSearch> StartSearch(const std::string& archivePath,
                                        const LoadedArchive& archive) {
    SearchSettings settings;
    settings.Identity = ArchiveIdentity(archivePath);
    settings.CacheFolder = SearchCacheFolder();
    settings.Threads = LoaderCount();
    auto search = std::make_unique<SiteSearch>(
        SourceOfArchive(archive), std::move(settings),
        [](const std::string& line) { std::fprintf(stderr, "pelorine: %s\n", line.c_str()); });
    search->Start();
    return search;
}

// Serves the site until `stop` is requested, or returns when the port
// cannot be used or served; the listener is then closed.
void ListenAndAccept(const LoadedArchive& archive, const ServeJob& job, AccessLog* log,
                     ServerState& status, StopSignal& stop) {
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
    // Started once the port is taken, so that listening waits for nothing.
    // It outlives the loaders, which may be answering it, and joins its
    // threads when it ends.
    std::unique_ptr<SiteSearch> search;
    if (job.Options.Search) search = StartSearch(job.BrowseArchivePath, archive);
    LoaderPool loaders(LoaderCount());
    Site site(archive, PageRulesFor(job.Options),
              ArchiveVersionOf(platform::FileStampOf(archive.File())), loaders,
              BudgetBytes(job.Options));
    site.Search = search.get();
    site.Log = log;
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
        // Opened before the port is taken, and written until every loop ended.
        std::unique_ptr<AccessLog> log;
        if (!job.Options.AccessLogPath.empty()) {
            log = std::make_unique<AccessLog>(job.Options.AccessLogPath);
            if (!log->Ready()) {
                EndWith(status, ServerStage::LogNotOpened, errno);
                return;
            }
        }
        ListenAndAccept(*load.Archive, job, log.get(), status, stop);
        if (log && log->Dropped() != 0) {
            std::fprintf(stderr,
                         "pelorine: %llu access log lines were dropped: the disk was too slow\n",
                         static_cast<unsigned long long>(log->Dropped()));
        }
    } catch (...) {
        EndWith(status, ServerStage::Failed, 0);
    }
}

bool BrowseServer::Start(const ServeJob& job) {
    if (thread_.joinable() || platform::FaultInjection::FailThreadStart()) return false;
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
