#include "tests/server/ServerTestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "Compiler/CompileThread.h"
#include "Compiler/Progress.h"
#include "Shared/ArchiveLayout.h"
#include "Shared/LoadedArchive.h"
#include "Shared/Lzo.h"
#include "WebServer/Listener.h"
#include "WebServer/ServerState.h"
#include "tests/support/CompileNow.h"
#include "tests/support/Ipv4Address.h"
#include "tests/support/TestFiles.h"

// Under ThreadSanitizer, skip its default second of sleep at exit: every
// server test is a process of its own, and the sleeps add up to most of the
// suite's time. TSAN_OPTIONS still overrides this.
extern "C" const char* __tsan_default_options() {
    return "atexit_sleep_ms=0";
}

namespace server_testing {
namespace {

using Clock = std::chrono::steady_clock;

// How long a server may take to load its archive and listen.
constexpr auto kStartLimit = std::chrono::seconds(20);
// Ports tried before giving up: another process may take a free port between
// the probe and the server's bind.
constexpr int kPortTries = 5;

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

uint16_t ProbeFreePort() {
    int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = testing_support::Ipv4Address(INADDR_ANY, 0);
    uint16_t port = 0;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        socklen_t length = sizeof address;
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    close(probe);
    return port;
}

// A server program started for the tests, ended with the test process.
class ServerProgram {
  public:
    ServerProgram(const std::string& command, const std::string& archivePath) {
        const std::string script =
            "exec " + command + " --console --browse-archive \"$1\" --browse";
        pid_ = fork();
        if (pid_ == 0) {
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, STDOUT_FILENO);
            execl("/bin/sh", "sh", "-c", script.c_str(), "sh", archivePath.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~ServerProgram() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    ServerProgram(const ServerProgram&) = delete;
    ServerProgram& operator=(const ServerProgram&) = delete;

    bool Running() {
        if (pid_ <= 0) return false;
        if (waitpid(pid_, nullptr, WNOHANG) == 0) return true;
        pid_ = 0;
        return false;
    }

  private:
    pid_t pid_ = 0;
};

bool PortAnswers() {
    const int probe = ConnectTo(kServerPort, std::chrono::seconds(1));
    if (probe < 0) return false;
    close(probe);
    return true;
}

// The real program serving from the console, started by `command` (another
// build, such as the Windows one under Wine); it listens on its own port.
// A program of an earlier test may still be letting go of the port: it is
// waited for, and a program that ends at once, finding the port still held,
// is started again.
uint16_t StartServerProgram(const std::string& command, const std::string& archivePath) {
    static std::unique_ptr<ServerProgram> program;
    // A program serving another archive, or started another way, is ended.
    static std::string serving;
    if (serving != command + '\n' + archivePath) program.reset();
    serving = command + '\n' + archivePath;
    const auto deadline = Clock::now() + kStartLimit;
    while (!program && PortAnswers() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    while (Clock::now() < deadline) {
        if (!program || !program->Running()) {
            program = std::make_unique<ServerProgram>(command, archivePath);
        }
        if (PortAnswers() && program->Running()) return kServerPort;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ADD_FAILURE() << command << " did not start serving";
    return 0;
}

}  // namespace

void ArchiveBuilder::AddRaw(const std::string& name, const std::string& bytes) {
    AddRecord(name, static_cast<uint32_t>(bytes.size()), 0, AddData(bytes));
}

void ArchiveBuilder::AddCompressed(const std::string& name, const std::string& bytes) {
    const std::string stream = Compress(bytes);
    ASSERT_LT(stream.size(), bytes.size()) << name;
    AddRecord(name, static_cast<uint32_t>(bytes.size()), static_cast<uint32_t>(stream.size()),
              AddData(stream));
}

uint32_t ArchiveBuilder::AddData(const std::string& bytes) {
    const auto offset = static_cast<uint32_t>(kHeaderSize + data_.size());
    data_ += bytes;
    return offset;
}

void ArchiveBuilder::AddRecord(const std::string& name, uint32_t unpacked, uint32_t packed,
                               uint32_t offset) {
    PutU32(index_, unpacked);
    PutU32(index_, packed);
    PutU32(index_, offset);
    PutU16(index_, static_cast<uint16_t>(name.size()));
    index_ += name;
}

std::string ArchiveBuilder::Bytes() const {
    std::string archive;
    PutU32(archive, static_cast<uint32_t>(kHeaderSize + data_.size()));
    return archive + data_ + index_;
}

void ArchiveBuilder::WriteTo(const std::string& path) const {
    testing_support::WriteBytes(path, Bytes());
}

std::string Compress(const std::string& bytes) {
    EXPECT_TRUE(LzoReady());
    std::string stream(bytes.size() + bytes.size() / 16 + 64 + 3, '\0');
    auto work = std::make_unique<unsigned char[]>(LZO1X_1_MEM_COMPRESS);
    lzo_uint length = 0;
    lzo1x_1_compress(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                     reinterpret_cast<unsigned char*>(stream.data()), &length, work.get());
    stream.resize(length);
    return stream;
}

void CompileTree(const std::map<std::string, std::string>& files, const std::string& folder,
                 const std::string& archivePath) {
    for (const auto& [name, bytes] : files) testing_support::WriteBytes(folder + "/" + name, bytes);
    const auto progress = CompileNow(folder, archivePath);
    ASSERT_FALSE(progress->CompileFailed) << progress->CompileError.Get();
    ASSERT_EQ(progress->FilesPacked, files.size());
}

namespace {

std::vector<std::unique_ptr<BrowseServer>>& RunningServers() {
    static auto& running = *new std::vector<std::unique_ptr<BrowseServer>>;
    return running;
}

}  // namespace

void StopServers() {
    RunningServers().clear();
}

uint16_t StartServer(const std::string& archivePath, const BrowseOptions& options) {
    if (const char* command = std::getenv("PELORINE_SERVER_COMMAND")) {
        return StartServerProgram(command, archivePath);
    }
    return StartServerWith(archivePath, options, false);
}

uint16_t StartServerWith(const std::string& path, const BrowseOptions& options, bool library) {
    // What the server reports to; it serves until the test process ends, or
    // until StopServers, and the record stays reachable (never freed) for
    // any server still running at exit.
    static auto* const states = new std::vector<std::unique_ptr<ServerState>>;
    ServerState& status = *states->emplace_back(std::make_unique<ServerState>());
    for (int attempt = 0; attempt < kPortTries; ++attempt) {
        const uint16_t port = ProbeFreePort();
        if (port == 0) continue;
        status.Reset();
        auto server = std::make_unique<BrowseServer>(status);
        if (!server->Start(ServeJob{path, port, options, library})) break;
        const auto deadline = Clock::now() + kStartLimit;
        ServerStage stage = status.CurrentServerStage.load();
        while ((stage == ServerStage::NotStarted || stage == ServerStage::Loading) &&
               Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            stage = status.CurrentServerStage.load();
        }
        if (stage == ServerStage::Listening) {
            // Stopped by StopServers only: most tests end with the process.
            RunningServers().push_back(std::move(server));
            return port;
        }
        if (stage != ServerStage::PortNotBound) break;
    }
    ADD_FAILURE() << "the server did not start";
    return 0;
}

std::string ExpectedResponse(const std::string& version, const std::string& contentType,
                             const std::string& body) {
    return version + " 200 OK\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

int ConnectTo(uint16_t port, std::chrono::milliseconds limit, int receiveBuffer) {
    int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (client < 0) return -1;
    if (receiveBuffer > 0) {
        setsockopt(client, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in address = testing_support::Ipv4Address(INADDR_LOOPBACK, port);
    // Connect without blocking, so that the wait stays within `limit`.
    const int flags = fcntl(client, F_GETFL);
    fcntl(client, F_SETFL, flags | O_NONBLOCK);
    int result = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (result != 0 && errno == EINPROGRESS) {
        pollfd entry{client, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        if (poll(&entry, 1, static_cast<int>(limit.count())) == 1 &&
            getsockopt(client, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
            result = 0;
        }
    }
    if (result != 0) {
        close(client);
        return -1;
    }
    fcntl(client, F_SETFL, flags);
    return client;
}

bool SendAll(int socket, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = send(socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

Exchange ReadToEnd(int socket, std::chrono::milliseconds limit) {
    Exchange exchange;
    exchange.connected = true;
    const auto start = Clock::now();
    const auto deadline = start + limit;
    char buffer[65536];
    for (;;) {
        pollfd entry{socket, POLLIN, 0};
        if (poll(&entry, 1, MillisecondsLeft(deadline)) != 1) {
            exchange.timedOut = true;
            break;
        }
        ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got == 0) break;
        if (got < 0) {
            exchange.reset = errno == ECONNRESET;
            break;
        }
        exchange.received.append(buffer, static_cast<size_t>(got));
    }
    exchange.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return exchange;
}

Exchange Talk(uint16_t port, const std::vector<Piece>& pieces, const TalkOptions& options) {
    const auto start = Clock::now();
    int client = ConnectTo(port, options.limit, options.receiveBuffer);
    if (client < 0) return {};
    for (const Piece& piece : pieces) {
        std::this_thread::sleep_for(piece.pauseBefore);
        if (!SendAll(client, piece.bytes)) break;
    }
    if (options.closeSendingAfter) shutdown(client, SHUT_WR);
    std::this_thread::sleep_for(options.readDelay);
    Exchange exchange = ReadToEnd(client, options.limit);
    exchange.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    close(client);
    return exchange;
}

}  // namespace server_testing
