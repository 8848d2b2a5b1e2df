#include "Startup/StartupActions.h"

#include "Platform/File.h"
#include "Platform/ShellOpen.h"
#include "Startup/StatusText.h"
#include "WebServer/ServerState.h"

std::string StartupActions::Compile(const StartupFields& fields) {
    const bool started = compile_.Start(CompileJob{fields.CompileFolder,
                                                   fields.CompileDestination,
                                                   fields.CompileThreads,
                                                   {},
                                                   settings_.Level},
                                        compileProgress_);
    startError_ = started ? "" : kCompileNotStarted;
    return startError_;
}

std::string StartupActions::Browse(const StartupFields& fields) {
    const bool started = server_.Start(
        ServeJob{fields.BrowseArchive, kServerPort, settings_.Browse, fields.BrowseLibrary});
    startError_ = started ? "" : kServerNotStarted;
    return startError_;
}

std::string StartupActions::BrowseAndOpenStartPage(const StartupFields& fields) {
    // The window's one archive field takes a library's folder too.
    StartupFields browsed = fields;
    browsed.BrowseLibrary = browsed.BrowseLibrary || platform::IsFolder(fields.BrowseArchive);
    const std::string error = Browse(browsed);
    if (error.empty()) platform::ShellOpen(StartPage());
    return error;
}

std::string StartupActions::StatusLine() const {
    if (!startError_.empty()) return startError_;
    return CurrentStatusText(compileProgress_, serverStatus_);
}

void StartupActions::Stop() {
    server_.Stop();
    compile_.Stop();
}
