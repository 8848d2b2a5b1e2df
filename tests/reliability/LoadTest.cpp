// Two thousand connections against the server in this process, five hundred
// of them open at once, well-behaved peers mixed with slow readers, slow
// writers, peers that reset mid-response and peers that never send: every
// well-behaved peer gets its exact response throughout, and once the
// connections have ended the server holds no more descriptors or threads
// than before.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "WebServer/Connection.h"
#include "WebServer/ContentTypes.h"
#include "tests/reliability/PeerCrowd.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestFiles.h"

using namespace reliability;
using namespace std::chrono_literals;
using server_testing::CompileTree;
using server_testing::ExpectedResponse;
using server_testing::StartServer;
using testing_support::CompressibleText;
using testing_support::RandomBytes;
using testing_support::TempDir;

namespace {

constexpr size_t kConnections = 2000;
constexpr size_t kAtOnce = 500;
constexpr size_t kSlowWriters = 5;
// Bytes each slow writer sends one at a time: 10 of them at 2 s take 20 s.
const std::string kTrickledTail = "HTTP/1.0\r\n";
// Peers keep arriving for about as long as the slow writers last.
constexpr auto kSpreadOver = 15s;
// Silent peers are held for the server's whole wait for a first byte.
constexpr auto kCrowdLimit = kSpreadOver + kFirstByteWait + 20s;
// Connection threads end within one silence wait plus the drain's bound once
// their peers have gone; this adds a margin for a loaded machine.
constexpr auto kSettleLimit = kPeerWait + kDrainTime + 10s;

std::map<std::string, std::string> SiteFiles() {
    std::map<std::string, std::string> files;
    for (size_t size : {0u, 1u, 700u, 1509u, 1510u, 1511u, 3021u, 20000u, 100000u}) {
        files["text/page-" + std::to_string(size) + ".html"] = CompressibleText(size);
        files["noise/blob-" + std::to_string(size) + ".bin"] = RandomBytes(size, size + 1);
    }
    files["index.html"] = CompressibleText(4000);
    files["slow.txt"] = "for the slow writers\n";
    files["big/slow-reader.html"] = CompressibleText(128 * 1024);
    files["big/reset.jpg"] = RandomBytes(1 << 20, 7);
    return files;
}

std::string Get(const std::string& name, const std::string& version = "HTTP/1.1") {
    return "GET /" + name + " " + version + "\r\nHost: localhost\r\nAccept: */*\r\n\r\n";
}

std::string Response(const std::map<std::string, std::string>& files, const std::string& name,
                     const std::string& version = "HTTP/1.1") {
    return ExpectedResponse(version, ContentTypeOf(PageExtension(name)), files.at(name));
}

// Slow writers first, so that they span the run; then a fixed mix in which
// three peers in four behave.
std::vector<PeerPlan> Plans(const std::map<std::string, std::string>& files) {
    std::vector<std::string> names;
    for (const auto& [name, content] : files) {
        if (!name.starts_with("big/") && name != "slow.txt") names.push_back(name);
    }
    std::vector<PeerPlan> plans;
    for (size_t i = 0; i < kSlowWriters; ++i) {
        PeerPlan plan{PeerKind::SlowWriter, "GET /slow.txt " + kTrickledTail,
                      Response(files, "slow.txt", "HTTP/1.0")};
        plan.sentAtOnce = plan.request.size() - kTrickledTail.size();
        plans.push_back(plan);
    }
    for (size_t i = kSlowWriters; i < kConnections; ++i) {
        switch (i % 20) {
            case 0:
            case 10:
                plans.push_back({PeerKind::Silent, "", ""});
                break;
            case 1:
            case 11:
                plans.push_back(
                    {PeerKind::Resetting, Get("big/reset.jpg"), Response(files, "big/reset.jpg")});
                break;
            case 2:
                plans.push_back({PeerKind::SlowReader, Get("big/slow-reader.html"),
                                 Response(files, "big/slow-reader.html")});
                break;
            default: {
                const std::string& name = names[i % names.size()];
                plans.push_back({PeerKind::Good, Get(name), Response(files, name)});
            }
        }
    }
    return plans;
}

// Samples how many threads this process runs, for the report.
class ThreadSampler {
  public:
    ThreadSampler()
        : thread_([this] {
              while (!stop_) {
                  peak_ = std::max(peak_.load(), CountEntries("/proc/self/task"));
                  std::this_thread::sleep_for(50ms);
              }
          }) {}
    ~ThreadSampler() { Stop(); }
    int Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return peak_;
    }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<int> peak_{0};
    std::thread thread_;
};

// Waits, within `limit`, for both counts to come back to what they were.
bool Settles(int fds, int tasks, std::chrono::milliseconds limit, int& fdsNow, int& tasksNow) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        fdsNow = CountEntries("/proc/self/fd");
        tasksNow = CountEntries("/proc/self/task");
        if (fdsNow == fds && tasksNow == tasks) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(100ms);
    }
}

TEST(Load, TwoThousandConnectionsFiveHundredAtOnceAmongFaultyPeers) {
    // Both ends of every connection live in this process.
    ASSERT_GE(RaiseOwnDescriptorLimit(), 2 * kAtOnce + 100) << "descriptor hard limit too low";
    TempDir dir;
    const auto files = SiteFiles();
    CompileTree(files, dir / "site", dir / "site.pel");
    const uint16_t port = StartServer(dir / "site.pel");
    ASSERT_NE(port, 0);
    const auto plans = Plans(files);

    int fdsBefore = CountEntries("/proc/self/fd");
    int tasksBefore = CountEntries("/proc/self/task");
    CrowdFigures figures;
    ThreadSampler sampler;
    const auto outcomes = RunCrowd(port, plans, {kAtOnce, kSpreadOver, kCrowdLimit}, figures);
    const int peakThreads = sampler.Stop();

    std::map<std::string, int> perKind, failedPerKind;
    std::map<std::string, long long> longestPerKind;
    int reported = 0;
    for (size_t i = 0; i < plans.size(); ++i) {
        const char* kind = KindName(plans[i].kind);
        ++perKind[kind];
        longestPerKind[kind] =
            std::max<long long>(longestPerKind[kind], outcomes[i].elapsed.count());
        const std::string fault = Judge(plans[i], outcomes[i]);
        if (fault.empty()) continue;
        ++failedPerKind[kind];
        if (++reported <= 20) ADD_FAILURE() << "peer " << i << " (" << kind << "): " << fault;
    }
    EXPECT_EQ(reported, 0);
    EXPECT_EQ(figures.started, kConnections);
    EXPECT_EQ(figures.peakOpen, kAtOnce);

    int fdsAfter = 0, tasksAfter = 0;
    EXPECT_TRUE(Settles(fdsBefore, tasksBefore, kSettleLimit, fdsAfter, tasksAfter))
        << "descriptors " << fdsBefore << " before, " << fdsAfter << " after; threads "
        << tasksBefore << " before, " << tasksAfter << " after";

    std::printf(
        "connections %zu, at most %zu open at once, %lld ms; threads in the process: "
        "%d before, at most %d, %d after; descriptors %d before, %d after\n",
        figures.started, figures.peakOpen, static_cast<long long>(figures.elapsed.count()),
        tasksBefore, peakThreads, tasksAfter, fdsBefore, fdsAfter);
    for (const auto& [kind, count] : perKind) {
        std::printf("  %-12s %5d peers, %d failed, longest %lld ms\n", kind.c_str(), count,
                    failedPerKind[kind], longestPerKind[kind]);
    }
}

}  // namespace
