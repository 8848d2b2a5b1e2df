// The real program browsing from the console on port 8078: it serves until
// SIGTERM or SIGINT and exits 0, and exits 1 with one line on standard error
// when the archive cannot be opened or the port is taken.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
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
    explicit Program(const std::vector<std::string>& arguments)
        : ChildProgram(ConsoleArguments(arguments)) {}

    void Signal(int number) { kill(Pid(), number); }
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

// As a client that closes after one request: --browse-modern would keep the
// connection open for the next.
std::string Fetch(const std::string& path) {
    return server_testing::Talk(kServerPort,
                                {{"GET " + path + " HTTP/1.1\r\nConnection: close\r\n\r\n"}})
        .received;
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

// Reads one response whose body is `bodySize` bytes from a connection kept
// open; false when it does not come whole within a few seconds.
bool ReadOneResponse(int client, size_t bodySize) {
    std::string bytes;
    char buffer[4096];
    for (int waits = 0; waits < 50; ++waits) {
        const size_t end = bytes.find("\r\n\r\n");
        if (end != std::string::npos && bytes.size() >= end + 4 + bodySize) return true;
        pollfd entry{client, POLLIN, 0};
        if (poll(&entry, 1, 100) <= 0) continue;
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return false;
}

// With persistent connections and descriptors running out, a new peer is
// still answered: the idlest connections are closed to make room, the one
// used last stays open.
TEST(ConsoleBrowse, KeepAliveClosesTheIdlestWhenDescriptorsRunOut) {
    TempDir dir;
    const std::string page = "<p>home</p>";
    server_testing::CompileTree({{"index.html", page}}, dir / "site", dir / "site.pel");
    ChildProgram program(
        ConsoleArguments({"--browse-archive", dir / "site.pel", "--browse", "--browse-keep-alive"}),
        [] {
            rlimit few{64, 64};
            return setrlimit(RLIMIT_NOFILE, &few) == 0;
        });
    ASSERT_TRUE(program.WaitForOutput(kStartPage, 10s)) << program.Out() << program.Err();
    const std::string request = "GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n";
    std::vector<int> idle;
    for (int peer = 0; peer < 100; ++peer) {
        const int client = server_testing::ConnectTo(kServerPort, 2s);
        ASSERT_GE(client, 0);
        idle.push_back(client);
        ASSERT_TRUE(server_testing::SendAll(client, request));
        ASSERT_TRUE(ReadOneResponse(client, page.size())) << "peer " << peer;
    }
    // The first connection was closed for the later ones; the last one is
    // still served.
    char byte = 0;
    EXPECT_EQ(recv(idle.front(), &byte, 1, 0), 0);
    ASSERT_TRUE(server_testing::SendAll(idle.back(), request));
    EXPECT_TRUE(ReadOneResponse(idle.back(), page.size()));
    for (int client : idle) close(client);
    EXPECT_EQ(program.Stop(10s), 0) << program.Err();
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

// --browse-modern end to end, as curl asks: byte ranges of a stored and of a
// compressed entry with 206 and the part's own length, 416 past the end, HEAD
// with GET's header, 304 for the tag given back, 404 for a missing script.
TEST(ConsoleBrowse, ModernAnswersRangesValidatorsHeadAndStatusCodes) {
    TempDir dir;
    const std::string video = RandomBytes(300000, 9);  // does not shrink: stored
    // Compressed, and large enough to be made on the loader pool.
    const std::string page = CompressibleText(400000);
    server_testing::CompileTree({{"media/clip.webm", video}, {"index.html", page}}, dir / "site",
                                dir / "site.pel");
    Program program({"--browse-archive", dir / "site.pel", "--browse", "--browse-modern"});
    ASSERT_TRUE(program.WaitForOutput(kStartPage, 10s)) << program.Out() << program.Err();
    const std::string url = "http://127.0.0.1:8078/";

    // HEAD: the header GET gets, and no body; first, before the large
    // compressed page has been made once.
    std::string getHeader;
    for (const auto& [path, body] : {std::pair{"/index.html", page}, {"/media/clip.webm", video}}) {
        const std::string head =
            server_testing::Talk(kServerPort, {{"HEAD " + std::string(path) +
                                                " HTTP/1.1\r\nConnection: close\r\n\r\n"}})
                .received;
        const std::string get = Fetch(path);
        getHeader = get.substr(0, get.find("\r\n\r\n") + 4);
        EXPECT_EQ(get.substr(getHeader.size()), body);
        EXPECT_EQ(head, getHeader);
    }

    struct Case {
        std::string range;
        std::string path;
        int status;
        std::string contentRange;  // empty: none
        std::string body;
    };
    const Case cases[] = {
        {"0-99", "media/clip.webm", 206, "bytes 0-99/300000", video.substr(0, 100)},
        {"100-", "media/clip.webm", 206, "bytes 100-299999/300000", video.substr(100)},
        {"-100", "media/clip.webm", 206, "bytes 299900-299999/300000", video.substr(299900)},
        {"299999-400000", "media/clip.webm", 206, "bytes 299999-299999/300000",
         video.substr(299999)},
        {"300000-", "media/clip.webm", 416, "bytes */300000", ""},
        {"0-9,20-29", "media/clip.webm", 200, "", video},
        {"150000-150099", "index.html", 206, "bytes 150000-150099/400000",
         page.substr(150000, 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range + " of " + c.path);
        std::string status;
        ASSERT_EQ(RunCommand("curl -s -r " + c.range + " -D " + (dir / "header") + " -o " +
                                 (dir / "body") + " -w '%{http_code}' " + url + c.path,
                             &status),
                  0);
        EXPECT_EQ(status, std::to_string(c.status));
        EXPECT_EQ(ReadBytes(dir / "body"), c.body);
        const std::string header = ReadBytes(dir / "header");
        EXPECT_NE(header.find("\r\nContent-Length: " + std::to_string(c.body.size()) + "\r\n"),
                  std::string::npos)
            << header;
        EXPECT_EQ(header.find("\r\nContent-Range: " + c.contentRange + "\r\n") != std::string::npos,
                  !c.contentRange.empty())
            << header;
    }

    // The tag given back: 304, no body.
    const size_t tagAt = getHeader.find("ETag: ") + 6;
    const std::string tag = getHeader.substr(tagAt, getHeader.find("\r\n", tagAt) - tagAt);
    EXPECT_EQ(server_testing::Talk(kServerPort,
                                   {{"GET /media/clip.webm HTTP/1.1\r\nIf-None-Match: " + tag +
                                     "\r\nConnection: close\r\n\r\n"}})
                  .received,
              "HTTP/1.1 304 Not Modified\r\nETag: " + tag +
                  getHeader.substr(getHeader.find("\r\nLast-Modified: ")));

    EXPECT_EQ(Fetch("/scripts/missing.js"),
              "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 50\r\n"
              "Connection: close\r\n\r\nCannot find the specified page: scripts/missing.js");
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(10s), 0) << program.Err();
}

}  // namespace
