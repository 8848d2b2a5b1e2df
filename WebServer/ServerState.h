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
