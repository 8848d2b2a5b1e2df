// The real program browsing from the console on port 8078: it serves until
// SIGTERM or SIGINT and exits 0, and exits 1 with one line on standard error
// when the archive cannot be opened or the port is taken.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "WebServer/ServerState.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/Ipv4Address.h"
#include "tests/support/TestFiles.h"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

const std::string kActive = "Web server activated (http://localhost:8078/index.html).\n";
const std::string kStartPage = "Start page: http://localhost:8078/index.html";

// The program in the console, with its output going to files.
class Program : public ChildProgram {
  public:
    explicit Program(std::vector<std::string> arguments)
        : ChildProgram(WithConsole(std::move(arguments))) {}

    // Whether standard output came to hold `text` within `limit`.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Out().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    void Signal(int number) { kill(Pid(), number); }

  private:
    static std::vector<std::string> WithConsole(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {ProgramPath(), "--console"});
        return arguments;
    }
};

TEST(ConsoleBrowse, MissingArchiveExitsOneNamingTheReason) {
    Program program({"--browse-archive", "/no/such/site.pel", "--browse"});
    EXPECT_EQ(program.Wait(10s), 1);
    EXPECT_EQ(program.Err(),
              "pelorine: cannot open the archive '/no/such/site.pel': No such file or directory\n");
    EXPECT_EQ(program.Out(), "");
}

TEST(ConsoleBrowse, BusyPortExitsOneNamingTheReason) {
    TempDir dir;
    WriteBytes(dir / "empty.pel", std::string("\x04\0\0\0", 4));
    const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = testing_support::Ipv4Address(INADDR_LOOPBACK, kServerPort);
    // Past runs may have left TIME_WAIT connections on the port; should another
    // program listen there already, the port is just as busy.
    int on = 1;
    setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ASSERT_EQ(listen(holder, 1), 0);
    } else {
        ASSERT_EQ(errno, EADDRINUSE);
    }

    Program program({"--browse-archive", dir / "empty.pel", "--browse"});
    EXPECT_EQ(program.Wait(10s), 1);
    EXPECT_EQ(program.Err(), "pelorine: cannot listen on port 8078: Address already in use\n");
    close(holder);
}

std::string Fetch(const std::string& path) {
    return server_testing::Talk(kServerPort, {{"GET " + path + " HTTP/1.1\r\n\r\n"}}).received;
}

// Two runs back to back: the second binds although the first left its closed
// connections in TIME_WAIT on the port.
TEST(ConsoleBrowse, ServesUntilSignalledThenExitsZeroAndRunsAgainAtOnce) {
    TempDir dir;
    const std::string site = PELORINE_EXAMPLE_SITE;
    ASSERT_EQ(RunCommand(ProgramPath() + " --console --compile-source " + site +
                         " --compile-archive " + (dir / "site.pel") + " --compile >/dev/null"),
              0);
    const std::string expected =
        server_testing::ExpectedResponse("HTTP/1.1", "text/html", ReadBytes(site + "/index.html"));

    for (int stop : {SIGTERM, SIGINT}) {
        Program program({"--browse-archive", dir / "site.pel", "--browse"});
        ASSERT_TRUE(program.WaitForOutput(kStartPage, 10s)) << program.Out() << program.Err();
        EXPECT_EQ(Fetch("/index.html"), expected);
        EXPECT_EQ(Fetch("/INDEX.HTML?x"), expected);
        program.Signal(stop);
        EXPECT_EQ(program.Wait(10s), 0) << program.Err();
        EXPECT_EQ(program.Out().substr(0, kActive.size()), kActive);
        EXPECT_EQ(program.Err(), "");
    }
}

// The opt-in options reach the server from the command line, wherever they
// stand on it.
TEST(ConsoleBrowse, ServesWithTheOptInOptionsGivenOnTheCommandLine) {
    TempDir dir;
    server_testing::CompileTree(
        {{"index.html", "<p>home</p>"}, {"logo.svg", "<svg/>"}, {"my page.htm", "spaced"}},
        dir / "site", dir / "site.pel");
    Program program({"--browse-decode-paths", "--browse-archive", dir / "site.pel", "--browse",
                     "--browse-standard-types", "--browse-folder-index"});
    ASSERT_TRUE(program.WaitForOutput(kStartPage, 10s)) << program.Out() << program.Err();
    using server_testing::ExpectedResponse;
    EXPECT_EQ(Fetch("/logo.svg"), ExpectedResponse("HTTP/1.1", "image/svg+xml", "<svg/>"));
    EXPECT_EQ(Fetch("/my%20page.htm"), ExpectedResponse("HTTP/1.1", "text/html", "spaced"));
    EXPECT_EQ(Fetch("/"), ExpectedResponse("HTTP/1.1", "text/html", "<p>home</p>"));
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(10s), 0) << program.Err();
}

}  // namespace
