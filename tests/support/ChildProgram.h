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

    pid_t Pid() const { return pid_; }
    std::string Out() const { return ReadBytes(out_); }
    std::string Err() const { return ReadBytes(err_); }

  private:
    TempDir dir_;
    std::string out_ = dir_ / "out";
    std::string err_ = dir_ / "err";
    pid_t pid_ = -1;
};

}  // namespace testing_support
