#include "tests/support/ChildProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace testing_support {

ChildProgram::ChildProgram(std::vector<std::string> arguments,
                           const std::function<bool()>& inChild) {
    pid_ = fork();
    if (pid_ != 0) return;
    if (inChild && !inChild()) _exit(126);
    dup2(open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    // Only what the program opens itself is open in it.
    close_range(3, ~0U, 0);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

ChildProgram::~ChildProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int ChildProgram::Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

bool ChildProgram::Ended() {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
    return pid_ <= 0;
}

}  // namespace testing_support
