#pragma once

#include <string>

#include "WebServer/BrowseOptions.h"

// Serves `archivePath` with `options` without a window until the process is
// told to stop; returns the exit status.
int RunConsoleBrowse(const std::string& archivePath, const BrowseOptions& options);
