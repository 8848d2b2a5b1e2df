// What the server reports while it runs and why it ended.
//
// Thread safety: the server thread writes these values and any other thread
// may read them at any time: each is atomic, and ServerErrorNumber is written
// before the stage that it explains. Rules and Version alone are plain: they are written
// before the first connection is accepted and only read from then on.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "WebServer/LoadPage.h"

class SiteSearch;
#include "WebServer/Validators.h"

// The port the server listens on, on all interfaces.
inline constexpr uint16_t kServerPort = 8078;

// How far the server thread got, for a front end that reports why it ended.
// ServerActive stays what the window looks at; this only adds the reason.
enum class ServerStage {
    NotStarted,
    Loading,           // opening the archive and loading its index
    Listening,         // accepting connections; stays so until the process ends
    ArchiveNotOpened,  // ended: the archive could not be opened
    NoSocket,          // ended: no socket could be created
    PortNotBound,      // ended: the port could not be bound or listened on
    Failed,            // ended: an unexpected error
    LzoNotReady,       // ended: the LZO library failed to initialise
};

struct ServerState {
    // Set true as the server thread's first act; never set back.
    std::atomic<bool> ServerActive{false};

    std::atomic<ServerStage> CurrentServerStage{ServerStage::NotStarted};

    // The system's error number behind an ended stage; written before the stage.
    std::atomic<int> ServerErrorNumber{0};

    // How the connections find and type pages; set from the serve job's
    // options before listening starts.
    PageRules Rules;

    // The archive being served, owned by the server thread; set with Rules.
    const LoadedArchive* Archive = nullptr;

    // The served archive's version, for the validators; set with Rules.
    ArchiveVersion Version;

    // The site's search, with --browse-search only; owned by the server
    // thread and set before the first connection is accepted.
    const SiteSearch* Search = nullptr;

    // Puts every value back as at program start (tests start several servers
    // in one process; the program starts one).
    void Reset();
};

// The instance the server thread reports to. Never destroyed: the server
// thread is never joined and may outlive main().
extern ServerState& Server;
