// The server through real sockets on 127.0.0.1, byte for byte: the request
// line cases, what is sent back, and how each connection ends.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "WebServer/Connection.h"
#include "WebServer/RequestLine.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/Ipv4Address.h"
#include "tests/support/TestFiles.h"

using namespace server_testing;
using namespace std::chrono_literals;
using testing_support::CompressibleText;
using testing_support::RandomBytes;
using testing_support::TempDir;

namespace {

const std::string kNotFound = "Cannot find the specified page: ";

std::string Repeated(const std::string& block, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += block;
    return text;
}

const std::map<std::string, std::string>& TreeFiles() {
    static const auto* files = new std::map<std::string, std::string>{
        {"index.html", CompressibleText(3000)},
        {"docs/empty.txt", ""},
        {"Docs/Guide/Page.HTM", "<p>guide</p>"},
        {"big/compressible.html", CompressibleText(300000)},
        {"big/random.bin", RandomBytes(260000, 5)},
        {"big/huge.html", Repeated(CompressibleText(64 * 1024), 96)},
    };
    return *files;
}

const std::string& File(const std::string& name) {
    return TreeFiles().at(name);
}

// One compiled tree and one server per test process.
uint16_t Port() {
    static TempDir dir;
    static const uint16_t port = [] {
        CompileTree(TreeFiles(), dir / "site", dir / "site.pel");
        return StartServer(dir / "site.pel");
    }();
    return port;
}

std::string Html(const std::string& version, const std::string& name) {
    return ExpectedResponse(version, "text/html", File(name));
}

using Bytes = std::function<std::string()>;

struct WireCase {
    const char* name;
    std::vector<Piece> pieces;
    Bytes expected;  // made when the case runs; empty: nothing may be sent
    bool closeSendingAfter = false;
};

Bytes Nothing() {
    return [] { return std::string(); };
}

Bytes Response(const std::string& version, const std::string& type, const std::string& body) {
    return [=] { return ExpectedResponse(version, type, body); };
}

Bytes HtmlFile(const std::string& version, const std::string& name) {
    return [=] { return Html(version, name); };
}

Bytes RawFile(const std::string& version, const std::string& name) {
    return [=] { return ExpectedResponse(version, "*/*", File(name)); };
}

std::vector<WireCase> WireCases() {
    const std::string atLimit(kMaxRequestLineLength - std::string("GET / HTTP/1.0").size(), 'a');
    return {
        {"WholeRequestInOneSegment",
         {{"GET /index.html HTTP/1.1\r\nHost: localhost\r\nAccept: */*\r\n\r\n"}},
         HtmlFile("HTTP/1.1", "index.html")},
        {"LineInSeveralPieces",
         {{"GE"},
          {"T /ind", 50ms},
          {"ex.html HT", 50ms},
          {"TP/1.1\r", 50ms},
          {"\nHost: x\r\n", 50ms}},
         HtmlFile("HTTP/1.1", "index.html")},
        {"LineLongerThanOneReceive",
         {{"GET /index.html?" + std::string(4000, 'q') + " HTTP/1.1\r\n\r\n"}},
         HtmlFile("HTTP/1.1", "index.html")},
        {"CrInsideTheLineIsDropped",
         {{"GET /ind\rex.html HTTP/1.0\n"}},
         HtmlFile("HTTP/1.0", "index.html")},
        {"LineEndedByLfAlone",
         {{"GET /index.html HTTP/1.0\n"}},
         HtmlFile("HTTP/1.0", "index.html")},
        {"QueryIsCut",
         {{"GET /index.html?x=1&y=2 HTTP/1.0\r\n"}},
         HtmlFile("HTTP/1.0", "index.html")},
        {"ExtraVersionTextIsEchoed",
         {{"GET /index.html HTTP/1.0 extra\r\n"}},
         HtmlFile("HTTP/1.0 extra", "index.html")},
        {"CaseAndOuterSlashesAreIgnored",
         {{"GET //DOCS/guide/page.htm// HTTP/1.1\r\n"}},
         HtmlFile("HTTP/1.1", "Docs/Guide/Page.HTM")},
        {"OneSpaceOnly", {{"GET /x\r\n"}}, Response("", "text/plain", kNotFound)},
        {"TwoSpacesInARow",
         {{"GET  /a HTTP/1.0\r\n"}},
         Response("/a HTTP/1.0", "text/plain", kNotFound)},
        {"MissingPageGivesTheNotFoundText",
         {{"GET /Docs/Missing.HTM HTTP/1.1\r\n\r\n"}},
         Response("HTTP/1.1", "text/plain", kNotFound + "Docs/Missing.HTM")},
        {"NulAndTabAreKept",
         {{std::string("GET /a\tb\0c HTTP/1.0\r\n", 21)}},
         Response("HTTP/1.0", "text/plain", kNotFound + std::string("a\tb\0c", 5))},
        {"ZeroLengthBody",
         {{"GET /docs/empty.txt HTTP/1.1\r\n\r\n"}},
         Response("HTTP/1.1", "*/*", "")},
        {"CompressedBodyOfManySends",
         {{"GET /big/compressible.html HTTP/1.1\r\n\r\n"}},
         HtmlFile("HTTP/1.1", "big/compressible.html")},
        {"RawBodyOfManySends",
         {{"GET /big/random.bin HTTP/1.1\r\n\r\n"}},
         RawFile("HTTP/1.1", "big/random.bin")},
        {"LineAtTheLimit",
         {{"GET /" + atLimit + " HTTP/1.0\r\n"}},
         Response("HTTP/1.0", "text/plain", kNotFound + atLimit)},
        {"LineOverTheLimit", {{"GET /" + atLimit + "a HTTP/1.0\r\n"}}, Nothing()},
        {"EmptyLine", {{"\r\nGET /index.html HTTP/1.0\r\n"}}, Nothing()},
        {"MethodAlone", {{"GET\r\n"}}, Nothing()},
        {"LowerCaseGet", {{"get /index.html HTTP/1.0\r\n"}}, Nothing()},
        {"Head", {{"HEAD /index.html HTTP/1.0\r\n"}}, Nothing()},
        {"PostWithBody",
         {{"POST /index.html HTTP/1.0\r\nContent-Length: 5\r\n\r\nhello"}},
         Nothing()},
        {"PeerClosesAfterHalfALine", {{"GET /index.ht"}}, Nothing(), true},
    };
}

void PrintTo(const WireCase& c, std::ostream* out) {
    *out << c.name;
}

class Wire : public ::testing::TestWithParam<WireCase> {};

TEST_P(Wire, SendsExactlyTheExpectedBytesThenCloses) {
    const WireCase& c = GetParam();
    TalkOptions options;
    options.closeSendingAfter = c.closeSendingAfter;
    const Exchange exchange = Talk(Port(), c.pieces, options);
    ASSERT_TRUE(exchange.connected);
    EXPECT_FALSE(exchange.timedOut);
    EXPECT_FALSE(exchange.reset);
    const std::string expected = c.expected();
    EXPECT_TRUE(exchange.received == expected)
        << "received " << exchange.received.size() << " bytes, expected " << expected.size()
        << "; start: " << exchange.received.substr(0, 80);
    // Nothing here waits for a silence: the end comes at once.
    EXPECT_LT(exchange.elapsed, kPeerWait);
}

INSTANTIATE_TEST_SUITE_P(RequestLines, Wire, ::testing::ValuesIn(WireCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Connections share their thread's buffers and follow each other on it: what
// one left half done (a half line, a line over the limit, a large response)
// must never show in the next one's answer.
TEST(ConnectionsInTurn, GetOnlyTheirOwnAnswer) {
    const std::string overLimit = "GET /" + std::string(kMaxRequestLineLength, 'a');
    for (int round = 0; round < 8; ++round) {
        TalkOptions closing;
        closing.closeSendingAfter = true;
        EXPECT_EQ(Talk(Port(), {{"GET /index.html HTTP/1.1"}}, closing).received, "");
        EXPECT_EQ(Talk(Port(), {{"GET /docs/empty.txt HTTP/1.0\r\n"}}).received,
                  ExpectedResponse("HTTP/1.0", "*/*", ""));
        EXPECT_EQ(Talk(Port(), {{overLimit}}, closing).received, "");
        EXPECT_EQ(Talk(Port(), {{"GET /Docs/Guide/Page.HTM HTTP/1.1\r\n"}}).received,
                  Html("HTTP/1.1", "Docs/Guide/Page.HTM"));
        EXPECT_TRUE(Talk(Port(), {{"GET /big/random.bin HTTP/1.1\r\n"}}).received ==
                    RawFile("HTTP/1.1", "big/random.bin")());
        EXPECT_EQ(Talk(Port(), {{"GET /missing HTTP/1.1\r\n"}}).received,
                  ExpectedResponse("HTTP/1.1", "text/plain", kNotFound + "missing"));
    }
}

std::string HeaderLines(size_t bytes) {
    std::string lines;
    for (int i = 0; lines.size() < bytes; ++i) {
        lines += "X-Filler-" + std::to_string(i) + ": " + std::string(90, 'h') + "\r\n";
    }
    return lines;
}

// Unread header lines must not turn the close into a reset that drops the
// response's tail.
TEST(WholeResponses, ArriveAfterKilobytesOfHeaderLines) {
    const std::string request =
        "GET /big/compressible.html HTTP/1.1\r\n" + HeaderLines(6000) + "\r\n";
    const std::string expected = Html("HTTP/1.1", "big/compressible.html");
    int whole = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        TalkOptions options;
        options.readDelay = 20ms;  // lets the response fill the buffers before it is read
        const Exchange exchange = Talk(Port(), {{request}}, options);
        if (exchange.received == expected && !exchange.reset) ++whole;
    }
    EXPECT_EQ(whole, 20);
}

TEST(WholeResponses, ArriveWhenARequestBodyFollowsTheHeaders) {
    const std::string body = RandomBytes(64 * 1024, 9);
    const std::string request = "GET /big/random.bin HTTP/1.1\r\n" + HeaderLines(6000) +
                                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                body;
    const std::string expected = ExpectedResponse("HTTP/1.1", "*/*", File("big/random.bin"));
    int whole = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        TalkOptions options;
        options.readDelay = 20ms;
        const Exchange exchange = Talk(Port(), {{request}}, options);
        if (exchange.received == expected && !exchange.reset) ++whole;
    }
    EXPECT_EQ(whole, 5);
}

// A peer that goes on sending after its request: the drain ends by its byte
// bound (flood) or its time bound (trickle), and the connection is closed.
// Returns how long after the request the server stopped taking the bytes.
std::chrono::milliseconds SendUntilRefused(const std::string& chunk,
                                           std::chrono::milliseconds pause, std::string& response) {
    const uint16_t port = Port();
    const auto start = std::chrono::steady_clock::now();
    const auto limit = start + 15s;
    int client = ConnectTo(port, 5s);
    EXPECT_GE(client, 0);
    SendAll(client, "GET /index.html HTTP/1.1\r\n\r\n");
    std::atomic<bool> refused{false};
    std::thread reader([&] { response = ReadToEnd(client, 15s).received; });
    while (!refused && std::chrono::steady_clock::now() < limit) {
        if (!SendAll(client, chunk)) refused = true;
        std::this_thread::sleep_for(pause);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    shutdown(client, SHUT_RDWR);
    reader.join();
    close(client);
    EXPECT_TRUE(refused);
    return std::chrono::duration_cast<std::chrono::milliseconds>(took);
}

TEST(DrainBounds, EndAFloodingPeerByTheByteBound) {
    std::string response;
    const auto took = SendUntilRefused(std::string(64 * 1024, 'f'), 0ms, response);
    // The reset that ends it may overtake the response; only the end counts.
    EXPECT_LT(took, kDrainTime);
}

TEST(DrainBounds, EndATricklingPeerByTheTimeBound) {
    std::string response;
    const auto took = SendUntilRefused("t", 50ms, response);
    EXPECT_GE(took, kDrainTime);
    EXPECT_LT(took, kDrainTime + 2s);
    EXPECT_EQ(response, Html("HTTP/1.1", "index.html"));
}

// The few tests that wait for a silence to run out. A connection gets
// kFirstByteWait for its first byte, as browsers open connections before they
// need them; once the line has begun, every pause is bounded by kPeerWait.
TEST(Silence, ServesAPeerThatWaitedBeforeItsFirstByte) {
    Port();
    const Exchange idle = Talk(Port(), {{"GET /index.html HTTP/1.1\r\n\r\n", kPeerWait + 2s}});
    EXPECT_TRUE(idle.connected);
    EXPECT_FALSE(idle.timedOut);
    EXPECT_EQ(idle.received, Html("HTTP/1.1", "index.html"));
}

TEST(Silence, ClosesWithoutAResponseAfterAPauseInsideTheLine) {
    Port();
    const Exchange paused =
        Talk(Port(), {{"GET /index.html HTTP/1.1"}, {"\r\n\r\n", kPeerWait + 1s}});
    EXPECT_TRUE(paused.connected);
    EXPECT_EQ(paused.received, "");
    EXPECT_FALSE(paused.timedOut);
    EXPECT_GE(paused.elapsed, kPeerWait - 100ms);
}

TEST(Silence, AbandonsTheResponseToAPeerThatStopsReading) {
    const std::string expected = Html("HTTP/1.1", "big/huge.html");
    const int client = ConnectTo(Port(), 5s, 4096);
    ASSERT_GE(client, 0);
    ASSERT_TRUE(SendAll(client, "GET /big/huge.html HTTP/1.1\r\n\r\n"));
    // Once the first bytes are here the server is sending; from then on
    // nothing is read for longer than it waits.
    char first[512];
    pollfd entry{client, POLLIN, 0};
    ASSERT_EQ(poll(&entry, 1, 20000), 1);
    const ssize_t got = recv(client, first, sizeof first, 0);
    ASSERT_GT(got, 0);
    std::this_thread::sleep_for(kPeerWait + 2s);
    const int large = 1 << 20;  // the rest, whatever it is, arrives quickly
    setsockopt(client, SOL_SOCKET, SO_RCVBUF, &large, sizeof large);
    const Exchange rest = ReadToEnd(client, 20s);
    close(client);
    const std::string received = std::string(first, static_cast<size_t>(got)) + rest.received;
    EXPECT_FALSE(rest.timedOut);
    EXPECT_LT(received.size(), expected.size());
    EXPECT_TRUE(received == expected.substr(0, received.size()));
}

// Running out of descriptors makes every accept fail at once; the listener
// must pause between tries rather than spin, and serve once they are back.
TEST(Accept, PausesWhileDescriptorsRunOut) {
    const uint16_t port = Port();
    rlimit original{};
    getrlimit(RLIMIT_NOFILE, &original);
    int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(client, 0);

    rlimit lowered = original;
    lowered.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> fillers;
    for (int fd; (fd = dup(client)) >= 0;) fillers.push_back(fd);

    sockaddr_in address = testing_support::Ipv4Address(INADDR_LOOPBACK, port);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(1s);
    getrusage(RUSAGE_SELF, &after);
    auto cpu = [](const rusage& usage) {
        return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    };
    EXPECT_LT(cpu(after) - cpu(before), 300ms);

    for (int fd : fillers) close(fd);
    setrlimit(RLIMIT_NOFILE, &original);
    ASSERT_TRUE(SendAll(client, "GET /index.html HTTP/1.1\r\n\r\n"));
    const Exchange exchange = ReadToEnd(client, 10s);
    close(client);
    EXPECT_EQ(exchange.received, Html("HTTP/1.1", "index.html"));
}

}  // namespace
