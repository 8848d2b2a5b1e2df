// The one-line status both front ends show, chosen from the progress values.
#pragma once

#include <string>

#include "Compiler/Progress.h"
#include "WebServer/ServerState.h"

// The start page of a site served under `urlRoot` (BrowseOptions::UrlRoot), as
// the browser is asked to open it.
inline std::string StartPageUrl(const std::string& urlRoot) {
    return "http://localhost:" + std::to_string(kServerPort) + urlRoot + "/index.html";
}

// The start page of a site served at the server's root.
inline const std::string kStartPageUrl = StartPageUrl("");

// The first rule that holds: serving, standby, done, or the file being packed.
std::string StatusText(bool serverActive, bool compileStarted, bool compileFinished,
                       const std::string& currentFileName);

// The same, read from the compile's progress and the server's state.
std::string CurrentStatusText(const CompileProgress& compile, const ServerState& server);

// The console's status lines: prints the current status on standard output
// when it differs from the last one printed.
class StatusPrinter {
  public:
    StatusPrinter(const CompileProgress& compile, const ServerState& server)
        : compile_(compile), server_(server) {}
    void Update();
    // True when Update would print.
    bool HasNewText() const { return CurrentStatusText(compile_, server_) != last_; }

  private:
    const CompileProgress& compile_;
    const ServerState& server_;
    std::string last_;
};
