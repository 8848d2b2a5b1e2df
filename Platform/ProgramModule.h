// Parts of the program kept in modules of their own, loaded while it runs
// from a folder found relative to the program's file.
#pragma once

#include <string>

namespace platform {

// The folder that holds the running program's file; empty when unknown.
std::string ProgramFolder();

// Loads the module at `path` with every reference it makes resolved now, so
// that a module that does not fit the program fails here, and finds the
// function `name` in it. The module stays loaded for the rest of the run.
// Nothing, with the system's reason in `error`, when either fails.
void* LoadModuleFunction(const std::string& path, const char* name, std::string& error);

}  // namespace platform
