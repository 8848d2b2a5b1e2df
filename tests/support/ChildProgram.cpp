#include "tests/support/ChildProgram.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "WebServer/ServerState.h"
#include "tests/support/Ipv4Address.h"

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

bool ChildProgram::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (Out().find(text) != std::string::npos) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int ChildProgram::Stop(std::chrono::milliseconds limit) {
    kill(pid_, SIGTERM);
    return Wait(limit);
}

std::vector<std::string> ConsoleArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {ProgramPath(), "--console"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return all;
}

std::vector<std::string> BrowseArguments(const std::string& archive,
                                         const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"--browse-archive", archive};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back("--browse");
    return ConsoleArguments(arguments);
}

bool ServerPortFree(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address = Ipv4Address(INADDR_ANY, kServerPort);
        const bool free = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                          listen(probe, 1) == 0;
        close(probe);
        if (free) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

}  // namespace testing_support
