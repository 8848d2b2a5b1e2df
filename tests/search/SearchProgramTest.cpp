// The real program serving a small site with --browse-search: the search page
// and its JSON over the wire, an archive entry of that path winning, the
// index kept in the cache folder only; and without the option, nothing of it.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "WebServer/ServerState.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/TestFiles.h"

using namespace std::chrono_literals;
using namespace testing_support;

namespace {

const std::string kStartPage = "Start page: http://localhost:8078/index.html";

class Browse : public ChildProgram {
  public:
    Browse(const std::string& cacheHome, const std::vector<std::string>& options)
        : ChildProgram(ConsoleArguments(options), [cacheHome] {
              return setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1) == 0;
          }) {}

    int Stop() { return ChildProgram::Stop(10s); }
};

std::string Fetch(const std::string& target) {
    return server_testing::Talk(kServerPort, {{"GET " + target + " HTTP/1.1\r\n\r\n"}}).received;
}

// The body of the answer to `target`, once the index is ready.
std::string FetchWhenReady(const std::string& target) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    std::string received;
    do {
        received = Fetch(target);
        if (received.find("Indexing the site") == std::string::npos) break;
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return received;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (!std::filesystem::exists(folder)) return names;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        names.push_back(file.path().filename().string());
    }
    return names;
}

TEST(SearchProgram, AnswersSearchesOnlyWithTheOptionAndKeepsTheIndexInTheCache) {
    TempDir dir;
    std::filesystem::create_directories(dir / "archive");
    server_testing::CompileTree(
        {{"index.html", "<title>Harbour</title><p>Welcome to the harbour.</p>"},
         {"guide/tides.html", "<title>Tides &amp; currents</title><p>High water at noon.</p>"},
         {"notes.txt", "Tides turn twice a day."},
         {".pelorine/search.json", "the site's own"}},
        dir / "site", dir / "archive" + std::string("/site.pel"));
    const std::string archive = dir / "archive/site.pel";
    const std::string cache = dir / "cache";
    using server_testing::ExpectedResponse;

    {
        Browse plain(cache, {"--browse-archive", archive, "--browse"});
        ASSERT_TRUE(plain.WaitForOutput(kStartPage, 10s)) << plain.Out() << plain.Err();
        EXPECT_EQ(Fetch("/.pelorine/search?q=tides"),
                  ExpectedResponse("HTTP/1.1", "text/plain",
                                   "Cannot find the specified page: .pelorine/search"));
        EXPECT_EQ(plain.Stop(), 0);
        EXPECT_TRUE(FilesIn(cache).empty());
    }

    Browse searching(cache, {"--browse-archive", archive, "--browse-search", "--browse"});
    ASSERT_TRUE(searching.WaitForOutput(kStartPage, 10s)) << searching.Out() << searching.Err();
    const std::string page = FetchWhenReady("/.pelorine/search?q=TIDES+%22&page=1");
    EXPECT_TRUE(page.starts_with("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"))
        << page;
    EXPECT_NE(page.find("2 pages match."), std::string::npos) << page;
    EXPECT_NE(page.find("<a href=\"/guide/tides.html\">Tides &amp; currents</a>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<mark>Tides</mark> turn twice a day."), std::string::npos) << page;
    EXPECT_EQ(Fetch("/.pelorine/search.json?q=tides"),
              ExpectedResponse("HTTP/1.1", "*/*", "the site's own"));
    EXPECT_EQ(Fetch("/index.html"),
              ExpectedResponse("HTTP/1.1", "text/html",
                               "<title>Harbour</title><p>Welcome to the harbour.</p>"));
    EXPECT_EQ(searching.Stop(), 0) << searching.Err();
    EXPECT_EQ(searching.Err(), "");

    const std::vector<std::string> kept = FilesIn(cache + "/pelorine");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(kept[0].ends_with(".sqlite")) << kept[0];
    EXPECT_EQ(FilesIn(dir / "archive"), std::vector<std::string>{"site.pel"});

    // A cache folder that cannot be written: the search still answers.
    WriteBytes(dir / "blocked", "a file, not a folder");
    Browse inMemory(dir / "blocked", {"--browse-search", "--browse-archive", archive, "--browse"});
    ASSERT_TRUE(inMemory.WaitForOutput(kStartPage, 10s)) << inMemory.Out() << inMemory.Err();
    EXPECT_NE(FetchWhenReady("/.pelorine/search?q=noon").find("1 page matches."),
              std::string::npos);
    EXPECT_EQ(inMemory.Stop(), 0);
    EXPECT_NE((inMemory.Out() + inMemory.Err())
                  .find("The search index is kept in memory: cannot write " + (dir / "blocked") +
                        "/pelorine"),
              std::string::npos)
        << inMemory.Out() << inMemory.Err();
}

}  // namespace
