// The options for serving across a network, end to end on one server with
// all of them on (--browse-modern but the search, a root and an access log): what peers get
// on persistent connections, compressed, under the root, and what the log
// says of it.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestFiles.h"

using namespace std::chrono_literals;
using namespace server_testing;
using testing_support::CompressibleText;
using testing_support::ReadBytes;
using testing_support::RunCommand;
using testing_support::TempDir;

namespace {

struct Response {
    std::string status;  // the status line
    std::map<std::string, std::string> fields;
    std::string body;
};

// The responses in `bytes`, one after the other, each body as long as its
// Content-Length says (none after a HEAD or a 304).
std::vector<Response> SplitResponses(std::string bytes) {
    std::vector<Response> responses;
    while (!bytes.empty()) {
        const size_t end = bytes.find("\r\n\r\n");
        if (end == std::string::npos) break;
        Response response;
        size_t at = bytes.find("\r\n");
        response.status = bytes.substr(0, at);
        while (at < end) {
            const size_t next = bytes.find("\r\n", at + 2);
            const std::string line = bytes.substr(at + 2, next - at - 2);
            const size_t colon = line.find(": ");
            response.fields[line.substr(0, colon)] = line.substr(colon + 2);
            at = next;
        }
        const size_t length = response.status.find(" 304 ") == std::string::npos
                                  ? std::stoul(response.fields["Content-Length"])
                                  : 0;
        response.body = bytes.substr(end + 4, length);
        bytes.erase(0, end + 4 + length);
        responses.push_back(response);
    }
    return responses;
}

class NetworkOptions : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new TempDir;
        CompileTree(
            {{"index.html", kPage}, {"docs/index.html", "<p>docs</p>"}, {"logo.png", kLogo}},
            *folder_ / "site", *folder_ / "site.pel");
        BrowseOptions options = BrowseOptions::Modern();
        // Its index builders end once built, yet are joined only when the
        // server stops, which in a test process it never does.
        options.Search = false;
        options.UrlRoot = "/docs";
        options.AccessLogPath = *folder_ / "access.log";
        port_ = StartServer(*folder_ / "site.pel", options);
    }

    static std::string Get(const std::string& path, const std::string& fields = "") {
        return "GET " + path + " HTTP/1.1\r\nHost: x\r\n" + fields + "\r\n";
    }

    static inline const std::string kPage = CompressibleText(20000);
    static inline const std::string kLogo = testing_support::RandomBytes(3000, 5);
    static inline TempDir* folder_ = nullptr;
    static inline uint16_t port_ = 0;
};

// Requests sent back to back on one connection, and one after a pause, are
// answered in order; the close comes when a request asks for it.
TEST_F(NetworkOptions, KeepAliveAnswersRequestAfterRequestOnOneConnection) {
    const std::string close = "Connection: close\r\n";
    const Exchange exchange = Talk(port_, {{Get("/docs/index.html") + Get("/docs/logo.png")},
                                           {Get("/docs/docs/", close), 300ms}});
    ASSERT_FALSE(exchange.timedOut);
    std::vector<Response> responses = SplitResponses(exchange.received);
    ASSERT_EQ(responses.size(), 3u) << exchange.received.substr(0, 2000);
    EXPECT_EQ(responses[0].body, kPage);
    EXPECT_EQ(responses[0].fields.count("Connection"), 0u);
    EXPECT_EQ(responses[1].body, kLogo);
    EXPECT_EQ(responses[2].body, "<p>docs</p>");
    EXPECT_EQ(responses[2].fields["Connection"], "close");

    // HTTP/1.0 closes; pipelined garbage after a good request closes.
    for (const std::string& first : {std::string("GET /docs/logo.png HTTP/1.0\r\n\r\n"),
                                     Get("/docs/logo.png") + "\x01garbage\r\n\r\n"}) {
        std::vector<Response> one =
            SplitResponses(Talk(port_, {{first}, {Get("/docs/logo.png"), 300ms}}).received);
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0].body, kLogo);
    }
}

// curl takes the page compressed, brotli when it names it, and gives back the
// same bytes; a range or a client that refuses both gets the plain body, and
// each coding's tag differs.
TEST_F(NetworkOptions, CompressSendsTextCompressedWithItsOwnTagAndNeverARange) {
    const std::string url = "http://127.0.0.1:" + std::to_string(port_) + "/docs/index.html";
    const std::string header = *folder_ / "header";
    const std::string body = *folder_ / "body";
    const std::string curl = "curl -s -D " + header + " -o " + body + " ";
    std::map<std::string, std::string> tags;
    for (const auto& [accepted, coding] :
         {std::pair{"gzip, deflate, br, zstd", "br"}, std::pair{"gzip, deflate", "gzip"},
          std::pair{"br;q=0.5, gzip", "gzip"}}) {
        ASSERT_EQ(RunCommand(curl + "--compressed -H 'Accept-Encoding: " + accepted + "' " + url),
                  0);
        EXPECT_EQ(ReadBytes(body), kPage) << accepted;
        std::vector<Response> compressed = SplitResponses(ReadBytes(header));
        ASSERT_EQ(compressed.size(), 1u);
        EXPECT_EQ(compressed[0].fields["Content-Encoding"], coding) << accepted;
        EXPECT_EQ(compressed[0].fields["Vary"], "Accept-Encoding");
        EXPECT_LT(std::stoul(compressed[0].fields["Content-Length"]), kPage.size() / 4);
        tags[coding] = compressed[0].fields["ETag"];
    }
    EXPECT_NE(tags["br"], tags["gzip"]);

    ASSERT_EQ(RunCommand(curl + "-H 'Accept-Encoding: gzip;q=0, *' " + url), 0);
    std::vector<Response> plain = SplitResponses(ReadBytes(header));
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(ReadBytes(body), kPage);
    EXPECT_EQ(plain[0].fields.count("Content-Encoding"), 0u);
    EXPECT_EQ(plain[0].fields["Vary"], "Accept-Encoding");
    EXPECT_NE(plain[0].fields["ETag"], tags["gzip"]);
    EXPECT_NE(plain[0].fields["ETag"], tags["br"]);

    ASSERT_EQ(RunCommand(curl + "-H 'Accept-Encoding: gzip' -r 100-199 " + url), 0);
    EXPECT_EQ(ReadBytes(body), kPage.substr(100, 100));
    EXPECT_EQ(SplitResponses(ReadBytes(header))[0].fields.count("Content-Encoding"), 0u);

    // The gzip tag given back: 304.
    std::vector<Response> again = SplitResponses(
        Talk(port_,
             {{Get("/docs/index.html", "Accept-Encoding: gzip\r\nIf-None-Match: " + tags["gzip"] +
                                           "\r\n" + "Connection: close\r\n")}})
            .received);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].status, "HTTP/1.1 304 Not Modified");
    // An image is never compressed and never varies.
    ASSERT_EQ(RunCommand(curl + "--compressed http://127.0.0.1:" + std::to_string(port_) +
                         "/docs/logo.png"),
              0);
    std::vector<Response> image = SplitResponses(ReadBytes(header));
    EXPECT_EQ(image[0].fields.count("Content-Encoding") + image[0].fields.count("Vary"), 0u);
}

// Under the root: its folder index; outside it, and past it with "..", only
// the not-found answer.
TEST_F(NetworkOptions, UrlRootServesBelowItsPathOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"/docs/", "HTTP/1.1 200 OK"},
        {"/docs/docs/", "HTTP/1.1 200 OK"},
        {"/docs/index.html", "HTTP/1.1 200 OK"},
        {"/index.html", "HTTP/1.1 404 Not Found"},
        {"/docs", "HTTP/1.1 404 Not Found"},
        {"/docsindex.html", "HTTP/1.1 404 Not Found"},
        {"/%2e%2e/docs/index.html", "HTTP/1.1 404 Not Found"},
        {"/x/../docs/index.html", "HTTP/1.1 404 Not Found"},
        {"/docs/../index.html", "HTTP/1.1 404 Not Found"},  // ".." names no entry
    };
    for (const auto& [path, status] : cases) {
        std::vector<Response> responses =
            SplitResponses(Talk(port_, {{Get(path, "Connection: close\r\n")}}).received);
        ASSERT_EQ(responses.size(), 1u) << path;
        EXPECT_EQ(responses[0].status, status) << path;
    }
}

// One line per response in the combined format, written by the log's thread.
TEST_F(NetworkOptions, AccessLogWritesALinePerResponse) {
    Talk(port_, {{Get("/docs/logo.png", "Referer: http://r/\r\nUser-Agent: tester/1\r\n") +
                  Get("/docs/nothing", "Connection: close\r\n")}});
    std::string log;
    for (int i = 0; i < 200 && log.find("/docs/nothing") == std::string::npos; ++i) {
        std::this_thread::sleep_for(10ms);
        log = ReadBytes(*folder_ / "access.log");
    }
    EXPECT_NE(log.find("127.0.0.1 - - ["), std::string::npos) << log;
    EXPECT_NE(log.find(" +0000] \"GET /docs/logo.png HTTP/1.1\" 200 3000 \"http://r/\" "
                       "\"tester/1\"\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"GET /docs/nothing HTTP/1.1\" 404 "), std::string::npos) << log;
}

}  // namespace
