// What the server reports while it runs and why it ended, to the front end
// that started it and owns this record.
//
// Thread safety: the server thread writes these values and any other thread
// may read them at any time: each is atomic, and ServerErrorNumber is written
// before the stage that it explains.
#pragma once

#include <atomic>
#include <cstdint>

// The port the server listens on, on all interfaces.
inline constexpr uint16_t kServerPort = 8078;

// How far the server thread got, for a front end that reports why it ended.
// ServerActive stays what the window looks at; this only adds the reason.
enum class ServerStage {
    NotStarted,
    Loading,           // opening the archive and loading its index
    Listening,         // accepting connections; stays so until the server is stopped
    ArchiveNotOpened,  // ended: the archive could not be opened
    NoSocket,          // ended: no socket could be created
    PortNotBound,      // ended: the port could not be bound or listened on
    Failed,            // ended: an unexpected error
    LzoNotReady,       // ended: the LZO library failed to initialise
    LogNotOpened,      // ended: the access log could not be opened
};

struct ServerState {
    // Set true as the server thread's first act; never set back.
    std::atomic<bool> ServerActive{false};

    std::atomic<ServerStage> CurrentServerStage{ServerStage::NotStarted};

    // The system's error number behind an ended stage; written before the stage.
    std::atomic<int> ServerErrorNumber{0};

    // Puts every value back as at program start (tests start several servers
    // in one process; the program starts one).
    void Reset() {
        ServerActive = false;
        CurrentServerStage = ServerStage::NotStarted;
        ServerErrorNumber = 0;
    }
};
