// What the server is given and what it reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// The port the server listens on, on all interfaces.
inline constexpr uint16_t kServerPort = 8078;

// The archive to serve; written before the server thread starts, never freed
// (the server thread is never joined and may outlive main()).
extern std::string& BrowseArchivePath;

// Set true as the server thread's first act; never set back.
extern std::atomic<bool> ServerActive;

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
};
extern std::atomic<ServerStage> CurrentServerStage;

// The system's error number behind an ended stage; written before the stage.
extern std::atomic<int> ServerErrorNumber;

// Puts the server's values back as at program start (tests start several
// servers in one process; the program starts one).
void ResetServerState();
