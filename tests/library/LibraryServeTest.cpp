// A library served over real sockets: each archive under its name, the start
// page and its JSON, and an archive replaced while clients load it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestFiles.h"

using namespace server_testing;
using testing_support::TempDir;

namespace {

std::string Get(uint16_t port, const std::string& path) {
    return Talk(port, {{"GET " + path + " HTTP/1.0\r\n\r\n"}}).received;
}

void WriteSite(const std::string& path, const std::string& title, const std::string& page) {
    ArchiveBuilder builder;
    builder.AddRaw("index.html", "<html><head><title>" + title + "</title></head><body>" + page +
                                     "</body></html>");
    builder.AddCompressed("docs/page.html", std::string(4000, 'p') + page);
    builder.WriteTo(path);
}

TEST(LibraryServe, ServesEachArchiveUnderItsNameAndListsThemAllOnTheStartPage) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "lib");
    WriteSite(dir / "lib/Rust Book.pel", "The &lt;Rust&gt; Book", "rust");
    WriteSite(dir / "lib/python.PEL", "Python", "python");
    testing_support::WriteBytes(dir / "lib/broken.pel", "xy");
    testing_support::WriteBytes(dir / "lib/readme.txt", "not served");
    const uint16_t port = StartServerWith(dir / "lib", {}, true);
    ASSERT_NE(port, 0);

    const std::string page = "<html><head><title>Python</title></head><body>python</body></html>";
    EXPECT_EQ(Get(port, "/python/index.html"), ExpectedResponse("HTTP/1.0", "text/html", page));
    EXPECT_EQ(Get(port, "/Rust%20Book/docs/page.html"),
              ExpectedResponse("HTTP/1.0", "text/html", std::string(4000, 'p') + "rust"));
    EXPECT_EQ(Get(port, "/nothing/index.html"),
              ExpectedResponse("HTTP/1.0", "text/plain",
                               "Cannot find the specified page: nothing/index.html"));
    EXPECT_EQ(Get(port, "/broken/index.html").find("200 OK\r\nContent-Type: text/plain"), 9u);

    for (const char* start : {"/", "/index.html"}) {
        const std::string html = Get(port, start);
        EXPECT_EQ(html.find("HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"), 0u);
        EXPECT_NE(html.find("<a href=\"/Rust%20Book/index.html\">The &lt;Rust&gt; Book</a>"),
                  std::string::npos)
            << html;
        EXPECT_NE(html.find("<a href=\"/python/index.html\">Python</a>"), std::string::npos);
        EXPECT_NE(html.find("Not served: not an archive: shorter than its header"),
                  std::string::npos);
        EXPECT_EQ(html.find("readme"), std::string::npos);
    }
    const std::string json = Get(port, "/.pelorine/library.json");
    EXPECT_NE(json.find("\"name\":\"python\",\"path\":\"/python/\",\"title\":\"Python\","
                        "\"entries\":2"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"name\":\"broken\""), std::string::npos);
}

// Under a root, the root comes off first and the library chooses the archive
// from what is left; its own pages link under the root. With the folder
// index, an archive's name without its "/" is sent on to it, where its
// pages' relative links work; a name inside it that is no folder is not.
TEST(LibraryServe, ServesTheLibraryUnderTheRootWithLinksThatCarryIt) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "lib");
    WriteSite(dir / "lib/python.pel", "Python", "python");
    BrowseOptions options;
    options.UrlRoot = "/docs";
    options.FolderIndex = true;
    const uint16_t port = StartServerWith(dir / "lib", options, true);
    ASSERT_NE(port, 0);

    const std::string page = "<html><head><title>Python</title></head><body>python</body></html>";
    EXPECT_EQ(Get(port, "/docs/python/index.html"),
              ExpectedResponse("HTTP/1.0", "text/html", page));
    EXPECT_EQ(Get(port, "/python/index.html"),
              ExpectedResponse("HTTP/1.0", "text/plain",
                               "Cannot find the specified page: python/index.html"));
    EXPECT_EQ(Get(port, "/docs/python"),
              "HTTP/1.0 301 Moved Permanently\r\nLocation: ./python/\r\nContent-Type: "
              "text/plain\r\nContent-Length: 19\r\nConnection: close\r\n\r\nMoved to: ./python/");
    EXPECT_EQ(Get(port, "/docs/python/"), ExpectedResponse("HTTP/1.0", "text/html", page));
    EXPECT_EQ(Get(port, "/docs/python/docs"),
              ExpectedResponse("HTTP/1.0", "text/plain", "Cannot find the specified page: docs"));
    const std::string html = Get(port, "/docs/");
    EXPECT_NE(html.find("<a href=\"/docs/python/index.html\">Python</a>"), std::string::npos)
        << html;
    EXPECT_NE(Get(port, "/docs/.pelorine/library.json").find("\"path\":\"/docs/python/\""),
              std::string::npos);
}

// While clients fetch one archive's page, a compile replaces the archive (a
// new file renamed over it) again and again: every response is whole and
// is the page of the archive before or after a rename, and the last one is
// served within two seconds of its rename.
TEST(LibraryServe, AnArchiveReplacedUnderLoadAnswersEveryRequestWithTheOldOrTheNewPage) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "lib");
    constexpr int kReplaces = 6;
    auto pageOf = [](int version) { return "version " + std::to_string(version); };
    WriteSite(dir / "lib/site.pel", "Site", pageOf(0));
    const uint16_t port = StartServerWith(dir / "lib", {}, true);
    ASSERT_NE(port, 0);

    std::set<std::string> expected;
    for (int version = 0; version <= kReplaces; ++version) {
        expected.insert(
            ExpectedResponse("HTTP/1.0", "text/html", std::string(4000, 'p') + pageOf(version)));
    }
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&] {
            while (!stop) {
                const std::string got = Get(port, "/site/docs/page.html");
                ++answered;
                if (expected.count(got) == 0) ++wrong;
            }
        });
    }
    bool newestServed = false;
    for (int version = 1; version <= kReplaces; ++version) {
        WriteSite(dir / "lib/site.pel.partial", "Site", pageOf(version));
        std::filesystem::rename(dir / "lib/site.pel.partial", dir / "lib/site.pel");
        const auto renamed = std::chrono::steady_clock::now();
        const std::string newest = *expected.find(
            ExpectedResponse("HTTP/1.0", "text/html", std::string(4000, 'p') + pageOf(version)));
        newestServed = false;
        while (!newestServed &&
               std::chrono::steady_clock::now() - renamed < std::chrono::seconds(2)) {
            newestServed = Get(port, "/site/docs/page.html") == newest;
        }
        if (!newestServed) break;
    }
    stop = true;
    for (std::thread& client : clients) client.join();
    EXPECT_TRUE(newestServed) << "a replaced archive was not served within 2 s";
    EXPECT_EQ(wrong.load(), 0) << "of " << answered.load() << " responses";
    EXPECT_GT(answered.load(), kReplaces);
}

// The answer to a search once every archive's index is ready (or after 20 s).
std::string SearchWhenReady(uint16_t port, const std::string& path) {
    std::string answer;
    for (int i = 0; i < 1000; ++i) {
        answer = Get(port, path);
        if (answer.find("\"building\"") == std::string::npos &&
            answer.find("\"ready\": true") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return answer;
}

// With search on, one query asks every archive, and each result says which
// archive it is from; /NAME/.pelorine/search asks one archive.
TEST(LibraryServe, SearchesEveryArchiveAtOnceOrOneUnderItsName) {
    TempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    std::filesystem::create_directories(dir.path() / "lib");
    WriteSite(dir / "lib/alpha.pel", "Alpha", "common words and zebra");
    WriteSite(dir / "lib/beta.pel", "Beta", "common words");
    BrowseOptions options;
    options.Search = true;
    const uint16_t port = StartServerWith(dir / "lib", options, true);
    ASSERT_NE(port, 0);

    const std::string all = SearchWhenReady(port, "/.pelorine/search.json?q=common");
    EXPECT_NE(all.find("\"total\": 2"), std::string::npos) << all;
    EXPECT_NE(all.find("{\"archive\": \"Alpha\", \"path\": \"alpha/index.html\""),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("{\"archive\": \"Beta\", \"path\": \"beta/index.html\""), std::string::npos)
        << all;
    const std::string one = Get(port, "/alpha/.pelorine/search.json?q=common");
    EXPECT_NE(one.find("\"total\": 1"), std::string::npos) << one;
    EXPECT_EQ(one.find("beta"), std::string::npos) << one;
    const std::string page = Get(port, "/alpha/.pelorine/search?q=zebra");
    EXPECT_NE(page.find("<form action=\"/alpha/.pelorine/search\""), std::string::npos) << page;
    EXPECT_NE(page.find("<a href=\"/alpha/index.html\">"), std::string::npos) << page;
    StopServers();
}

// Across archives a word is as rare as it is among all their pages: a site
// where "url" is rare does not outrank the one that defines `url_for`.
TEST(LibraryServe, SearchesEveryArchiveAsOneIndex) {
    TempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    std::filesystem::create_directories(dir.path() / "lib");
    ArchiveBuilder web;
    ArchiveBuilder docs;
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        web.AddRaw("route" + n + ".html",
                   "<title>Route " + n + "</title><p>A url for route " + n + ".</p>");
        docs.AddRaw("text" + n + ".html",
                    "<title>Text " + n + "</title><p>Writing text " + n + ".</p>");
    }
    // Its definition stands far down the page: the result still links to it.
    std::string filler;
    while (filler.size() < 64 * 1024) filler += "<p>Another helper of the module.</p>";
    web.AddRaw("api.html",
               "<title>API</title><h1>API</h1>" + filler +
                   "<dl><dt id=\"web.url_for\">web.url_for(endpoint)</dt><dd>The url for an "
                   "endpoint.</dd></dl>");
    docs.AddRaw("links.html", "<title>Links</title><p>Give the url for each link.</p>");
    web.WriteTo(dir / "lib/web.pel");
    docs.WriteTo(dir / "lib/docs.pel");
    BrowseOptions options;
    options.Search = true;
    const uint16_t port = StartServerWith(dir / "lib", options, true);
    ASSERT_NE(port, 0);
    const std::string found = SearchWhenReady(port, "/.pelorine/search.json?q=url_for");
    const size_t first = found.find("\"path\": ");
    ASSERT_NE(first, std::string::npos) << found;
    EXPECT_EQ(found.substr(first, 22), "\"path\": \"web/api.html\"") << found;
    EXPECT_NE(found.find("\"url\": \"/web/api.html#web.url_for\""), std::string::npos) << found;
    StopServers();
}

}  // namespace
