// The two actions, Compile and Browse, as every front end starts them: the
// console and the windows only map their fields to these, and show what they
// report.
#pragma once

#include <chrono>
#include <string>
#include <utility>

#include "Compiler/CompileTask.h"
#include "Compiler/Progress.h"
#include "Startup/CommandLine.h"
#include "Startup/StatusText.h"
#include "WebServer/Listener.h"

// What a front end shows when an action's thread cannot be started.
inline constexpr const char* kCompileNotStarted = "cannot start the compile thread";
inline constexpr const char* kServerNotStarted = "cannot start the web server thread";

// What a window asks of the actions; the window's tests give a stand-in.
class FormActions {
  public:
    virtual ~FormActions() = default;
    virtual std::string Compile(const StartupFields& fields) = 0;
    virtual std::string BrowseAndOpenStartPage(const StartupFields& fields) = 0;
    virtual std::string StatusLine() const = 0;
};

// Owns the compile and the server it starts: both end, and their threads are
// joined, by Stop or with the object.
class StartupActions final : public FormActions {
  public:
    // Every action started here takes `settings` along.
    explicit StartupActions(ActionSettings settings) : settings_(std::move(settings)) {}

    // Starts compiling fields.CompileFolder into fields.CompileDestination
    // with fields.CompileThreads. Empty when it runs; otherwise why not.
    std::string Compile(const StartupFields& fields) override;

    // Starts serving fields.BrowseArchive on the program's port. Empty when it
    // runs; otherwise why not.
    std::string Browse(const StartupFields& fields);

    // As Browse, and then, for a window, asks the system to open the start
    // page in the browser; no browser for a server that never ran.
    std::string BrowseAndOpenStartPage(const StartupFields& fields) override;

    // The status line: the last action's start failure while there is one,
    // otherwise what the workers report.
    std::string StatusLine() const override;

    // The start page, under the site's root.
    std::string StartPage() const { return StartPageUrl(settings_.Browse.UrlRoot); }

    const CompileProgress& CompileStatus() const { return compileProgress_; }
    const ServerState& ServerStatus() const { return serverStatus_; }

    // Waits until the compile has ended or `timeout` has passed; true once it
    // has ended, or when none was started.
    bool WaitForCompile(std::chrono::milliseconds timeout) { return compile_.WaitFor(timeout); }

    // Ends whatever runs and waits for it.
    void Stop();

  private:
    ActionSettings settings_;
    std::string startError_;
    CompileProgress compileProgress_;
    CompileTask compile_;  // after the progress it reports to: joined before it goes
    ServerState serverStatus_;
    BrowseServer server_{
        serverStatus_};  // after the state it reports to; ends and joins the server
};
