// The real program on port 8078 when descriptors or threads run out: the
// listener pauses between failed accepts instead of spinning, closes a
// connection no thread can serve, and serves again as soon as the resources
// are back. Also: the program raises its own descriptor limit at start.
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

#include <fstream>
#include <sstream>
#include <thread>

#include "WebServer/Connection.h"
#include "WebServer/ServerState.h"
#include "tests/reliability/PeerCrowd.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/TestFiles.h"

using namespace std::chrono_literals;
using namespace server_testing;
using reliability::CountEntries;
using testing_support::BrowseArguments;
using testing_support::ChildProgram;
using testing_support::CompressibleText;
using testing_support::ReadBytes;
using testing_support::ServerPortFree;
using testing_support::TempDir;

namespace {

using Clock = std::chrono::steady_clock;

// Processor time the starved program may use per second of wall time. A
// listener that retried at once would use nearly all of one processor.
constexpr double kMostBusyShare = 0.1;
constexpr auto kCpuWindow = 2s;

struct Limit {
    int resource;
    rlim_t soft;
    rlim_t hard;
};

// `pelorine --console --browse-archive ARCHIVE --browse`, started with the
// given limits, its output in files; killed when it goes out of scope.
class BrowsingProgram : public ChildProgram {
  public:
    BrowsingProgram(const std::string& archive, const std::vector<Limit>& limits)
        : ChildProgram(Start(archive), [limits] {
              for (const Limit& limit : limits) {
                  const rlimit value{limit.soft, limit.hard};
                  if (setrlimit(limit.resource, &value) != 0) return false;
              }
              return true;
          }) {}

    // Whether it announced its start page within `limit` (and so listens).
    bool WaitUntilListening(std::chrono::milliseconds limit) {
        return WaitForOutput("Start page:", limit);
    }

    std::string Proc(const std::string& what) const {
        return "/proc/" + std::to_string(Pid()) + "/" + what;
    }

    // User plus system time so far.
    std::chrono::milliseconds CpuTime() const {
        const std::string stat = ReadBytes(Proc("stat"));
        // Fields after the command name, which may hold spaces: state is the
        // 3rd field, utime the 14th and stime the 15th.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int number = 3; number <= 15 && fields >> field; ++number) {
            if (number == 14) utime = std::stoull(field);
            if (number == 15) stime = std::stoull(field);
        }
        return std::chrono::milliseconds((utime + stime) * 1000 / sysconf(_SC_CLK_TCK));
    }

    // A field of /proc/PID/status, such as VmSize, as its number.
    unsigned long long Status(const std::string& key) const {
        std::ifstream status(Proc("status"));
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with(key + ":")) return std::stoull(line.substr(key.size() + 1));
        }
        return 0;
    }

  private:
    // Waits for the port first: the program's own port, which other programs
    // (a browser test's server, a run left over) may hold for a while.
    static std::vector<std::string> Start(const std::string& archive) {
        EXPECT_TRUE(ServerPortFree(20s)) << "port " << kServerPort << " stays busy";
        return BrowseArguments(archive);
    }
};

const std::string kRequest = "GET /index.html HTTP/1.1\r\nHost: localhost\r\n\r\n";

class Resources : public ::testing::Test {
  protected:
    void SetUp() override {
        reliability::RaiseOwnDescriptorLimit();
        CompileTree({{"index.html", page_}}, dir_ / "site", archive_);
    }

    std::string Expected() const { return ExpectedResponse("HTTP/1.1", "text/html", page_); }

    // A client that has sent the whole request.
    int Asking() const {
        const int client = ConnectTo(kServerPort, 5s);
        if (client >= 0 && !SendAll(client, kRequest)) {
            close(client);
            return -1;
        }
        return client;
    }

    TempDir dir_;
    const std::string archive_ = dir_ / "site.pel";
    const std::string page_ = CompressibleText(50000);
};

bool Waits(int socket) {
    pollfd entry{socket, POLLIN, 0};
    return poll(&entry, 1, 0) == 0;
}

// Waits within `limit` for the count of entries in `folder` to reach `count`.
bool CountReaches(const std::string& folder, int count, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (CountEntries(folder) != count) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TEST_F(Resources, TheProgramRaisesItsDescriptorLimitToTheHardLimit) {
    BrowsingProgram program(archive_, {{RLIMIT_NOFILE, 256, 4096}});
    ASSERT_TRUE(program.WaitUntilListening(10s)) << program.Err();
    std::ifstream limits(program.Proc("limits"));
    std::string line;
    while (std::getline(limits, line) && !line.starts_with("Max open files")) {
    }
    std::istringstream values(line.substr(std::string("Max open files").size()));
    std::string soft, hard;
    values >> soft >> hard;
    EXPECT_EQ(soft, "4096") << line;
    EXPECT_EQ(hard, "4096") << line;
}

// With every descriptor taken by connections the peers keep alive, accept
// fails at once on every try: the program must stay nearly idle, and a
// connection that waited in the backlog is served once descriptors are free.
TEST_F(Resources, OutOfDescriptorsTheListenerRestsAndServesWhenTheyAreBack) {
    constexpr rlim_t kDescriptors = 64;
    BrowsingProgram program(archive_, {{RLIMIT_NOFILE, kDescriptors, kDescriptors}});
    ASSERT_TRUE(program.WaitUntilListening(10s)) << program.Err();
    const int fdsBefore = CountEntries(program.Proc("fd"));
    const int tasksBefore = CountEntries(program.Proc("task"));

    // More peers than the program has descriptors left; each sends a byte of
    // a request line that never ends, every second, within the server's wait.
    std::vector<int> holders;
    for (int i = 0; i < static_cast<int>(kDescriptors); ++i) {
        const int holder = ConnectTo(kServerPort, 5s);
        ASSERT_GE(holder, 0);
        holders.push_back(holder);
    }
    auto keepAlive = [&] {
        for (int holder : holders) SendAll(holder, "x");
    };
    keepAlive();
    ASSERT_TRUE(CountReaches(program.Proc("fd"), static_cast<int>(kDescriptors), 5s))
        << CountEntries(program.Proc("fd")) << " descriptors open";
    const int waiting = Asking();
    ASSERT_GE(waiting, 0);

    const auto cpuBefore = program.CpuTime();
    const auto wallBefore = Clock::now();
    for (auto slept = 0s; slept < kCpuWindow; slept += 1s) {
        std::this_thread::sleep_for(1s);
        keepAlive();
    }
    const auto cpu = program.CpuTime() - cpuBefore;
    const auto wall =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - wallBefore);
    EXPECT_LT(cpu.count(), kMostBusyShare * wall.count())
        << cpu.count() << " ms of processor time in " << wall.count() << " ms";
    EXPECT_TRUE(Waits(waiting)) << "answered although no descriptor was free";
    std::printf("starved of descriptors: %zu peers held, %lld ms of processor time in %lld ms\n",
                holders.size(), static_cast<long long>(cpu.count()),
                static_cast<long long>(wall.count()));

    for (int holder : holders) close(holder);
    const Exchange answer = ReadToEnd(waiting, kPeerWait);
    close(waiting);
    EXPECT_EQ(answer.received, Expected()) << "the waiting peer once descriptors came back";
    const int fresh = Asking();
    const Exchange later = ReadToEnd(fresh, kPeerWait);
    close(fresh);
    EXPECT_EQ(later.received, Expected()) << "a new peer once descriptors came back";

    const auto settle = kPeerWait + kDrainTime + 5s;
    EXPECT_TRUE(CountReaches(program.Proc("fd"), fdsBefore, settle));
    EXPECT_TRUE(CountReaches(program.Proc("task"), tasksBefore, settle));
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RELIABILITY_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define RELIABILITY_UNDER_SANITIZER 1
#endif
#endif

// A thread cannot start when there is no address space left for its stack.
// The program's address space is capped just above what it uses, so every
// new thread fails. Connections are served on threads started beforehand, so
// each is still answered whole, or, if memory for it runs out, closed at once;
// none is left hanging, and serving resumes once the cap is lifted.
TEST_F(Resources, WithoutRoomForAThreadConnectionsAreAnsweredOrClosedAndServingResumes) {
#ifdef RELIABILITY_UNDER_SANITIZER
    GTEST_SKIP() << "a sanitizer's own mappings do not live within a capped address space";
#endif
    BrowsingProgram program(archive_, {});
    ASSERT_TRUE(program.WaitUntilListening(10s)) << program.Err();
    const int tasksBefore = CountEntries(program.Proc("task"));
    const auto cpuBefore = program.CpuTime();
    const auto wallBefore = Clock::now();

    rlimit original{};
    ASSERT_EQ(prlimit(program.Pid(), RLIMIT_AS, nullptr, &original), 0);
    // Room for the heap to grow a little, far less than any thread's stack.
    constexpr rlim_t kMargin = 64 * 1024;
    const rlimit capped{program.Status("VmSize") * 1024 + kMargin, original.rlim_max};
    ASSERT_EQ(prlimit(program.Pid(), RLIMIT_AS, &capped, nullptr), 0);
    constexpr int kRefused = 5;
    for (int i = 0; i < kRefused; ++i) {
        const int client = Asking();
        ASSERT_GE(client, 0);
        const Exchange refused = ReadToEnd(client, kPeerWait);
        close(client);
        EXPECT_FALSE(refused.timedOut) << "left open";
        EXPECT_TRUE(refused.received.empty() || refused.received == Expected())
            << refused.received.size() << " bytes received";
        EXPECT_LT(refused.elapsed, 1s);
    }
    EXPECT_EQ(CountEntries(program.Proc("task")), tasksBefore);
    ASSERT_EQ(prlimit(program.Pid(), RLIMIT_AS, &original, nullptr), 0);

    const int client = Asking();
    const Exchange served = ReadToEnd(client, kPeerWait);
    close(client);
    EXPECT_EQ(served.received, Expected());
    const auto cpu = program.CpuTime() - cpuBefore;
    const auto wall =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - wallBefore);
    EXPECT_LT(cpu.count(), kMostBusyShare * wall.count() + 50);
    EXPECT_EQ(program.Err(), "");
}

}  // namespace
