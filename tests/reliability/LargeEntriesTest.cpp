// Large entries under load, against the real program on port 8078: sixteen
// peers fetching one 256 MiB stored file, sixteen one 64 MiB compressed page,
// and eight fetching eight different 32 MiB compressed pages at once. Every
// body must arrive byte for byte, the program's peak resident memory stay
// under 320 MiB in each phase, and a small page asked for meanwhile be
// answered within half a second. Then, with a budget far smaller than the
// entries, a stored entry still streams in little memory and a compressed one
// larger than the whole budget is still served.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#include "WebServer/ServerState.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/TestFiles.h"

using namespace std::chrono_literals;
using server_testing::Compress;
using server_testing::ConnectTo;
using server_testing::SendAll;
using testing_support::BrowseArguments;
using testing_support::ChildProgram;
using testing_support::ReadBytes;
using testing_support::ServerPortFree;
using testing_support::TempDir;

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kMostResident = 320 * kMiB;
constexpr auto kSmallPageLimit = 500ms;
constexpr auto kPhaseLimit = 120s;

// An entry's content: a period of bytes repeated, each entry with a period of
// its own length and bytes, so that a piece sent from the wrong place or the
// wrong entry does not match.
class Pattern {
  public:
    // Text (which LZO shrinks) or noise (which it does not).
    Pattern(unsigned seed, size_t period, bool text) {
        std::mt19937 random(seed);
        static const char* const kWords[] = {"archive ", "page ",  "the ",   "server ",
                                             "of ",      "large ", "entry ", "\n"};
        while (period_.size() < period) {
            period_ += text ? std::string(kWords[random() % 8])
                            : std::string(1, static_cast<char>(random()));
        }
        period_.resize(period);
    }

    void Fill(uint64_t at, char* out, size_t count) const {
        for (size_t done = 0; done < count;) {
            const size_t offset = (at + done) % period_.size();
            const size_t piece = std::min(count - done, period_.size() - offset);
            std::memcpy(out + done, period_.data() + offset, piece);
            done += piece;
        }
    }

    bool Matches(uint64_t at, const char* bytes, size_t count) const {
        for (size_t done = 0; done < count;) {
            const size_t offset = (at + done) % period_.size();
            const size_t piece = std::min(count - done, period_.size() - offset);
            if (std::memcmp(bytes + done, period_.data() + offset, piece) != 0) return false;
            done += piece;
        }
        return true;
    }

  private:
    std::string period_;
};

struct Entry {
    std::string name;
    uint64_t size;
    Pattern content;
    bool compressed;
};

void PutLittleEndian(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

// Writes the archive entry by entry, so that no more than one entry is held
// in memory at a time.
void WriteArchive(const std::string& path, const std::vector<Entry>& entries) {
    std::ofstream out(path, std::ios::binary);
    std::string index;
    uint64_t at = 4;
    out.write("\0\0\0\0", 4);
    for (const Entry& entry : entries) {
        std::string content(entry.size, '\0');
        entry.content.Fill(0, content.data(), content.size());
        const std::string stored = entry.compressed ? Compress(content) : content;
        ASSERT_TRUE(!entry.compressed || stored.size() < content.size()) << entry.name;
        out.write(stored.data(), static_cast<std::streamsize>(stored.size()));
        PutLittleEndian(index, entry.size, 4);
        PutLittleEndian(index, entry.compressed ? stored.size() : 0, 4);
        PutLittleEndian(index, at, 4);
        PutLittleEndian(index, entry.name.size(), 2);
        index += entry.name;
        at += stored.size();
    }
    out.write(index.data(), static_cast<std::streamsize>(index.size()));
    std::string header;
    PutLittleEndian(header, at, 4);
    out.seekp(0);
    out.write(header.data(), 4);
    ASSERT_TRUE(out.good());
}

std::string HeaderFor(const std::string& type, uint64_t size) {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
}

std::string Get(const std::string& name) {
    return "GET /" + name + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
}

struct Fetch {
    const Entry* entry;
    std::string type;
};

// One peer reading as fast as it can, checking what arrives as it arrives.
struct Peer {
    const Fetch* fetch = nullptr;
    int socket = -1;
    std::string header;  // received so far, until complete
    uint64_t bodyBytes = 0;
    std::string problem;
    bool done = false;
};

// Feeds `count` received bytes to `peer`; false once it went wrong.
bool Take(Peer& peer, const char* bytes, size_t count) {
    const std::string expected = HeaderFor(peer.fetch->type, peer.fetch->entry->size);
    if (peer.header.size() < expected.size()) {
        const size_t part = std::min(count, expected.size() - peer.header.size());
        peer.header.append(bytes, part);
        if (expected.compare(0, peer.header.size(), peer.header) != 0) {
            peer.problem = "header " + peer.header;
            return false;
        }
        bytes += part;
        count -= part;
    }
    if (count == 0) return true;
    if (peer.bodyBytes + count > peer.fetch->entry->size) {
        peer.problem = "more bytes than the body holds";
        return false;
    }
    if (!peer.fetch->entry->content.Matches(peer.bodyBytes, bytes, count)) {
        peer.problem = "wrong bytes near " + std::to_string(peer.bodyBytes);
        return false;
    }
    peer.bodyBytes += count;
    return true;
}

// Runs every fetch at once from this thread; one line per peer that went
// wrong.
std::vector<std::string> FetchAll(const std::vector<Fetch>& fetches) {
    std::vector<Peer> peers;
    for (const Fetch& fetch : fetches) {
        Peer peer;
        peer.fetch = &fetch;
        peer.socket = ConnectTo(kServerPort, 5s);
        if (peer.socket < 0 || !SendAll(peer.socket, Get(fetch.entry->name))) {
            peer.problem = "no connection";
            peer.done = true;
        } else {
            fcntl(peer.socket, F_SETFL, fcntl(peer.socket, F_GETFL) | O_NONBLOCK);
        }
        peers.push_back(std::move(peer));
    }
    std::vector<char> buffer(256 * 1024);
    const auto deadline = Clock::now() + kPhaseLimit;
    for (;;) {
        std::vector<pollfd> waits;
        std::vector<Peer*> waiting;
        for (Peer& peer : peers) {
            if (peer.done) continue;
            waits.push_back({peer.socket, POLLIN, 0});
            waiting.push_back(&peer);
        }
        if (waits.empty()) break;
        if (Clock::now() >= deadline) {
            for (Peer* peer : waiting) peer->problem = "still reading at the test's limit";
            break;
        }
        if (poll(waits.data(), waits.size(), 1000) < 0) continue;
        for (size_t i = 0; i < waits.size(); ++i) {
            if (waits[i].revents == 0) continue;
            Peer& peer = *waiting[i];
            const ssize_t got = recv(peer.socket, buffer.data(), buffer.size(), 0);
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (got > 0 && Take(peer, buffer.data(), static_cast<size_t>(got))) continue;
            if (got == 0 && peer.bodyBytes != peer.fetch->entry->size) {
                peer.problem = "ended after " + std::to_string(peer.bodyBytes) + " bytes";
            } else if (got < 0) {
                peer.problem = std::string("receive failed: ") + std::strerror(errno);
            }
            peer.done = true;
        }
    }
    std::vector<std::string> problems;
    for (Peer& peer : peers) {
        if (peer.socket >= 0) close(peer.socket);
        if (!peer.problem.empty())
            problems.push_back(peer.fetch->entry->name + ": " + peer.problem);
    }
    return problems;
}

// Asks for the small page again and again while a phase runs; keeps the
// slowest answer and any wrong one.
class SmallPageProbe {
  public:
    explicit SmallPageProbe(std::string expected)
        : expected_(std::move(expected)), thread_([this] { Run(); }) {}
    ~SmallPageProbe() { Finish(); }

    void Finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    std::chrono::milliseconds Slowest() const { return slowest_; }
    int Asked() const { return asked_; }
    const std::string& Problem() const { return problem_; }

  private:
    void Run() {
        while (!stop_) {
            const auto exchange =
                server_testing::Talk(kServerPort, {{Get("small.html")}}, {.limit = 10000ms});
            ++asked_;
            slowest_ = std::max(slowest_, exchange.elapsed);
            if (exchange.received != expected_ && problem_.empty()) {
                problem_ = std::to_string(exchange.received.size()) + " bytes received";
            }
            std::this_thread::sleep_for(100ms);
        }
    }

    const std::string expected_;
    std::atomic<bool> stop_{false};
    std::chrono::milliseconds slowest_{0};
    int asked_ = 0;
    std::string problem_;
    std::thread thread_;
};

// `pelorine --console --browse-archive ARCHIVE --browse` and `extra`.
class Browsing : public ChildProgram {
  public:
    Browsing(const std::string& archive, const std::vector<std::string>& extra)
        : ChildProgram(Arguments(archive, extra)) {}

    bool WaitUntilListening() { return WaitForOutput("Start page:", 20s); }

    // The peak resident memory since the last call, in bytes.
    uint64_t TakePeakResident() {
        const std::string proc = "/proc/" + std::to_string(Pid());
        std::ifstream status(proc + "/status");
        uint64_t peak = 0;
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmHWM:")) peak = std::stoull(line.substr(6)) * 1024;
        }
        // Starts the peak afresh from what is resident now.
        std::ofstream(proc + "/clear_refs") << "5";
        return peak;
    }

  private:
    static std::vector<std::string> Arguments(const std::string& archive,
                                              const std::vector<std::string>& extra) {
        EXPECT_TRUE(ServerPortFree(20s)) << "port " << kServerPort << " stays busy";
        return BrowseArguments(archive, extra);
    }
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LARGE_ENTRIES_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LARGE_ENTRIES_UNDER_SANITIZER 1
#endif
#endif

class LargeEntries : public ::testing::Test {
  protected:
    void SetUp() override {
#ifdef LARGE_ENTRIES_UNDER_SANITIZER
        GTEST_SKIP() << "a sanitizer's own memory would be measured, and gigabytes move";
#endif
    }

    TempDir dir_;
    const std::string archive_ = dir_ / "site.pel";
    const Entry small_{"small.html", 2000, Pattern(1, 997, true), false};
};

TEST_F(LargeEntries, ManyPeersGetEveryByteInBoundedMemoryAndASmallPageStaysQuick) {
    std::vector<Entry> entries = {small_,
                                  {"film.mp4", 256 * kMiB, Pattern(2, 1000003, false), false},
                                  {"page64.html", 64 * kMiB, Pattern(3, 999983, true), true}};
    for (unsigned i = 0; i < 8; ++i) {
        entries.push_back({"page32-" + std::to_string(i) + ".html", 32 * kMiB,
                           Pattern(10 + i, 999979 - 2 * i, true), true});
    }
    WriteArchive(archive_, entries);
    Browsing program(archive_, {});
    ASSERT_TRUE(program.WaitUntilListening()) << program.Err();
    program.TakePeakResident();

    std::string smallPage(small_.size, '\0');
    small_.content.Fill(0, smallPage.data(), smallPage.size());
    const std::string smallResponse = HeaderFor("text/html", small_.size) + smallPage;

    struct Phase {
        const char* name;
        std::vector<Fetch> fetches;
    };
    std::vector<Phase> phases = {{"16 peers, one 256 MiB stored file", {}},
                                 {"16 peers, one 64 MiB compressed page", {}},
                                 {"8 peers, eight 32 MiB compressed pages", {}}};
    for (int i = 0; i < 16; ++i) phases[0].fetches.push_back({&entries[1], "*/*"});
    for (int i = 0; i < 16; ++i) phases[1].fetches.push_back({&entries[2], "text/html"});
    for (size_t i = 3; i < entries.size(); ++i)
        phases[2].fetches.push_back({&entries[i], "text/html"});

    for (const Phase& phase : phases) {
        const auto start = Clock::now();
        SmallPageProbe probe(smallResponse);
        const std::vector<std::string> problems = FetchAll(phase.fetches);
        probe.Finish();
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        const uint64_t peak = program.TakePeakResident();
        for (const std::string& problem : problems) ADD_FAILURE() << phase.name << ": " << problem;
        EXPECT_LT(peak, kMostResident) << phase.name;
        EXPECT_LT(probe.Slowest(), kSmallPageLimit) << phase.name;
        EXPECT_GE(probe.Asked(), 1) << phase.name;
        EXPECT_EQ(probe.Problem(), "") << phase.name;
        std::printf("%s: %lld ms, peak resident %llu MiB, small page at worst %lld ms (%d asked)\n",
                    phase.name, static_cast<long long>(took.count()),
                    static_cast<unsigned long long>(peak / kMiB),
                    static_cast<long long>(probe.Slowest().count()), probe.Asked());
    }
    EXPECT_EQ(program.Err(), "");
}

TEST_F(LargeEntries, WithinASmallBudgetAStoredFileStreamsAndALargerPageIsServedAlone) {
    constexpr uint64_t kBudget = 16 * kMiB;
    const std::vector<Entry> entries = {
        {"film.mp4", 96 * kMiB, Pattern(4, 1000003, false), false},
        {"page.html", 48 * kMiB, Pattern(5, 999983, true), true},
    };
    WriteArchive(archive_, entries);
    Browsing program(archive_, {"--browse-memory-limit", std::to_string(kBudget / kMiB)});
    ASSERT_TRUE(program.WaitUntilListening()) << program.Err();
    program.TakePeakResident();

    const std::vector<Fetch> film(4, Fetch{&entries[0], "*/*"});
    for (const std::string& problem : FetchAll(film)) ADD_FAILURE() << problem;
    const uint64_t streaming = program.TakePeakResident();
    EXPECT_LT(streaming, kBudget + 16 * kMiB) << "four peers of a 96 MiB stored file";

    const std::vector<Fetch> page(4, Fetch{&entries[1], "text/html"});
    for (const std::string& problem : FetchAll(page)) ADD_FAILURE() << problem;
    const uint64_t alone = program.TakePeakResident();
    // The page's body once, and its stream while it was decompressed.
    EXPECT_LT(alone, 48 * kMiB + 32 * kMiB) << "four peers of a 48 MiB page";
    std::printf("peak resident: %llu MiB streaming, %llu MiB for the larger page\n",
                static_cast<unsigned long long>(streaming / kMiB),
                static_cast<unsigned long long>(alone / kMiB));
    EXPECT_EQ(program.Err(), "");
}

}  // namespace
