#pragma once

#include "Startup/CommandLine.h"
#include "Startup/StartupActions.h"

// Serves fields.BrowseArchive through `actions` without a window until the
// process is told to stop; returns the exit status.
int RunConsoleBrowse(StartupActions& actions, const StartupFields& fields);
