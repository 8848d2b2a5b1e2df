#pragma once

#include <string>

// Serves `archivePath` without a window until the process is told to stop;
// returns the exit status.
int RunConsoleBrowse(const std::string& archivePath);
