// The program under test run as a child process, its standard output and
// error going to files in a scratch folder; killed when it goes out of scope.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace testing_support {

class ChildProgram {
  public:
    // Runs `arguments` (the program's path first). `inChild`, when given, runs
    // in the child just before the program starts (to set limits, say); a
    // false answer ends the child with status 126.
    explicit ChildProgram(std::vector<std::string> arguments,
                          const std::function<bool()>& inChild = {});
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // The exit status (128 + the signal when killed by one), or -1 when the
    // program is still running after `limit`.
    int Wait(std::chrono::milliseconds limit);
    // Whether the program has ended (it is then reaped).
    bool Ended();

    // Whether standard output came to hold `text` within `limit`.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit);

    // Sends SIGTERM and waits up to `limit`: the exit status, as Wait.
    int Stop(std::chrono::milliseconds limit);

    pid_t Pid() const { return pid_; }
    std::string Out() const { return ReadBytes(out_); }
    std::string Err() const { return ReadBytes(err_); }

  private:
    TempDir dir_;
    std::string out_ = dir_ / "out";
    std::string err_ = dir_ / "err";
    pid_t pid_ = -1;
};

// The program's path, then "--console", then `arguments`.
std::vector<std::string> ConsoleArguments(const std::vector<std::string>& arguments);

// The program browsing `archive` from the console, with `options` before the
// action.
std::vector<std::string> BrowseArguments(const std::string& archive,
                                         const std::vector<std::string>& options = {});

// Whether the server's port (on all interfaces) could be listened on within
// `limit`: other programs (a browser test's server, a run left over) may hold
// it for a while.
bool ServerPortFree(std::chrono::milliseconds limit);

}  // namespace testing_support
