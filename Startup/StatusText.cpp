#include "Startup/StatusText.h"

#include <cstdio>

#include "WebServer/ServerState.h"

std::string StatusText(bool serverActive, bool compileStarted, bool compileFinished,
                       const std::string& currentFileName) {
    if (serverActive) return "Web server activated (" + kStartPageUrl + ").";
    if (!compileStarted) return "Standby.";
    if (compileFinished) return "Done (at this point you can only quit from the application).";
    return "Compiling " + currentFileName + "...";
}

std::string CurrentStatusText(const CompileProgress& compile, const ServerState& server) {
    // Finished is read before Started so that a compile ending between the two
    // reads still shows as done, never as standby.
    bool finished = compile.CompileFinished.load();
    bool started = compile.CompileStarted.load();
    return StatusText(server.ServerActive.load(), started, finished, compile.CurrentFileName.Get());
}

void StatusPrinter::Update() {
    std::string text = CurrentStatusText(compile_, server_);
    if (text == last_) return;
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    last_ = text;
}
