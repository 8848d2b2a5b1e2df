#include "WebServer/Listener.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <system_error>

#include "Library/FolderWatch.h"
#include "Library/LiveLibrary.h"
#include "Platform/FaultInjection.h"
#include "Platform/File.h"
#include "Platform/Socket.h"
#include "Search/ArchiveSource.h"
#include "Search/SiteSearch.h"
#include "Shared/LoadedArchive.h"
#include "Shared/Lzo.h"
#include "WebServer/AccessLog.h"
#include "WebServer/EventLoop.h"
#include "WebServer/LibrarySite.h"
#include "WebServer/LoaderPool.h"
#include "WebServer/SearchQueue.h"
#include "WebServer/ServedSites.h"
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

void Note(const std::string& line) {
    std::fprintf(stderr, "pelorine: %s\n", line.c_str());
}

// The search of a served archive: its index opened from the user's cache
// folder or built there in the background (in memory, said on standard error,
// when that folder cannot be written). Not started yet.
std::unique_ptr<SiteSearch> MakeSearch(const std::string& archivePath, const LoadedArchive& archive,
                                       unsigned threads) {
    return std::make_unique<SiteSearch>(SourceOfArchive(archive),
                                        CachedSearchSettings(archivePath, threads), Note);
}

// The listening socket on job.Port, or kInvalidSocket with the stage said.
platform::Socket Listen(const ServeJob& job, ServerState& status) {
    const platform::Socket listener = platform::CreateStreamSocket();
    if (listener == platform::kInvalidSocket) {
        EndWith(status, ServerStage::NoSocket, errno);
        return listener;
    }
    // Binding tells whether the port is free. On Linux the address-reuse option
    // can let two binds succeed, and then the second listen is what fails.
    if (!platform::BindAllInterfaces(listener, job.Port) ||
        !platform::Listen(listener, kListenBacklog)) {
        const int error = errno;
        platform::ShutdownSending(listener);
        platform::CloseSocket(listener);
        EndWith(status, ServerStage::PortNotBound, error);
        return platform::kInvalidSocket;
    }
    return listener;
}

// Serves until `stop` is requested, or returns when no event loop or loader
// could be made; the listener is then closed.
void ServeUntilStopped(platform::Socket listener, const ServedSites& sites, LoaderPool& loaders,
                       ServerState& status, StopSignal& stop,
                       const std::function<void()>& stopBodies) {
    if (loaders.Ready()) {
        status.CurrentServerStage = ServerStage::Listening;
        ServeConnections(listener, sites, loaders, stop, stopBodies);
    }
    loaders.Stop();
    const int error = errno;
    platform::CloseSocket(listener);
    // No event loop or loader could be made: nothing served the port.
    if (!stop.Requested()) EndWith(status, ServerStage::Failed, error);
}

// Serves the one archive until `stop` is requested, or returns when the port
// cannot be used or served.
void ListenAndAccept(std::shared_ptr<const LoadedArchive> archive, const ServeJob& job,
                     AccessLog* log, ServerState& status, StopSignal& stop) {
    const platform::Socket listener = Listen(job, status);
    if (listener == platform::kInvalidSocket) return;
    // Started once the port is taken, so that listening waits for nothing.
    // It outlives the loaders, which may be answering it, and joins its
    // threads when it ends.
    std::unique_ptr<SiteSearch> search;
    if (job.Options.Search) {
        search = MakeSearch(job.BrowseArchivePath, *archive, LoaderCount());
        search->Start();
    }
    LoaderPool loaders(LoaderCount());
    const PageRules rules = PageRulesFor(job.Options);
    PageCache cache(kPageCacheBytes);
    PageCache compressed(kCompressedCacheBytes);
    LargeBodies bodies(cache, loaders, BudgetBytes(job.Options));
    const ArchiveVersion version = ArchiveVersionOf(platform::FileStampOf(archive->File()));
    // Held here too: the search reads it until it ends, after the site.
    Site site(archive, rules, version, loaders, cache, compressed, bodies);
    site.Search = search.get();
    site.Root = job.Options.UrlRoot;
    const ServedSites sites(site, rules, log);
    ServeUntilStopped(listener, sites, loaders, status, stop, [&] { bodies.Stop(); });
}

// Why the first look at a library's folder (or a reloaded archive) leaves
// nothing to serve, as a system error number; 0 when it does not.
int StartError(const LibrarySnapshot& first, bool library) {
    // Where the system reports no error number (Windows), the folder is taken
    // as missing.
    if (library) {
        if (first.Listing.Listed) return 0;
        return first.Listing.ErrorNumber != 0 ? first.Listing.ErrorNumber : ENOENT;
    }
    if (!first.Archives.empty() && first.Archives.front()->Served) return 0;
    const int error = first.Archives.empty() ? ENOENT : first.Archives.front()->ErrorNumber;
    return error != 0 ? error : ENOENT;
}

// Serves a library, or a single archive reloaded when it is replaced, until
// `stop` is requested. The folder is looked at again every kWatchInterval;
// each archive found new or changed is loaded on the watch's thread and
// swapped in with a new snapshot.
void ServeLive(const ServeJob& job, AccessLog* log, ServerState& status, StopSignal& stop) {
    const PageRules rules = PageRulesFor(job.Options);
    PageCache cache(kPageCacheBytes);
    PageCache compressed(kCompressedCacheBytes);
    LoaderPool loaders(LoaderCount());
    // One budget for the large bodies of every archive, which it outlives.
    LargeBodies bodies(cache, loaders, BudgetBytes(job.Options));
    // Before the library, whose archives' searches it starts: it ends after them.
    std::unique_ptr<SearchQueue> searches;
    if (job.Options.Search) searches = std::make_unique<SearchQueue>();
    uint32_t archivesLoaded = 0;  // only on the thread that loads: Look's caller
    const ArchiveLoader load =
        [&](const std::string& folder,
            const ArchiveFile& file) -> std::shared_ptr<const LibraryArchive> {
        auto archive = std::make_shared<LibraryArchive>(LoadLibraryArchive(folder, file));
        if (!archive->Archive) return archive;
        // Each archive's bodies under a number of its own in the shared caches.
        ++archivesLoaded;
        auto site = std::make_shared<LibrarySite>(archive->Archive, rules, loaders,
                                                  SiteCache(cache, archivesLoaded),
                                                  SiteCache(compressed, archivesLoaded), bodies);
        // The links the archive's own pages make carry the root, then its prefix.
        site->Served.Root = job.Options.UrlRoot;
        if (!folder.empty()) site->Served.Root += "/" + archive->Segment;
        if (searches) {
            // A library's builds take one thread each: they run one at a time
            // beside the serving.
            const unsigned threads = folder.empty() ? LoaderCount() : 1;
            site->Search = MakeSearch(ArchivePath(folder, file), *archive->Archive, threads);
            site->Served.Search = site->Search.get();
            searches->Add(std::shared_ptr<SiteSearch>(site, site->Search.get()));
        }
        archive->Served = std::shared_ptr<Site>(site, &site->Served);
        return archive;
    };
    LiveLibrary library(job.BrowseArchivePath, !job.Library, load, Note);
    library.Look();
    if (const int error = StartError(*library.Current(), job.Library); error != 0) {
        EndWith(status, ServerStage::ArchiveNotOpened, error);
        return;
    }
    const platform::Socket listener = Listen(job, status);
    if (listener == platform::kInvalidSocket) return;
    {
        const FolderWatch watch(kWatchInterval, [&] { library.Look(); });
        const ServedSites sites(library, rules, loaders, log);
        ServeUntilStopped(listener, sites, loaders, status, stop, [&] { bodies.Stop(); });
    }
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
        const bool live = job.Library || job.Options.Reload;
        ArchiveLoad load;
        if (!live) {
            load = LoadArchive(job.BrowseArchivePath);
            if (!load.Archive) {
                EndWith(status, ServerStage::ArchiveNotOpened, load.ErrorNumber);
                return;
            }
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
        if (live) {
            ServeLive(job, log.get(), status, stop);
        } else {
            ListenAndAccept(std::make_shared<const LoadedArchive>(std::move(*load.Archive)), job,
                            log.get(), status, stop);
        }
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
