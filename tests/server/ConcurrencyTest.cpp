// Many clients at once against a real compiled tree: every body must equal
// its source file.
#include <gtest/gtest.h>

#include <filesystem>
#include <latch>
#include <thread>

#include "WebServer/ContentTypes.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestFiles.h"

using namespace server_testing;
using namespace std::chrono_literals;
using testing_support::CompressibleText;
using testing_support::RandomBytes;
using testing_support::ReadBytes;
using testing_support::TempDir;

namespace {

constexpr int kClients = 200;

// The example site plus files around the send size, large ones, raw and
// compressed, and an empty one.
std::map<std::string, std::string> TreeFiles() {
    std::map<std::string, std::string> files;
    const std::filesystem::path site = PELORINE_EXAMPLE_SITE;
    for (const auto& item : std::filesystem::recursive_directory_iterator(site)) {
        if (item.is_regular_file()) {
            files[std::filesystem::relative(item.path(), site).string()] =
                ReadBytes(item.path().string());
        }
    }
    for (size_t size : {1u, 1509u, 1510u, 1511u, 3021u, 100000u}) {
        files["sizes/text-" + std::to_string(size) + ".html"] = CompressibleText(size);
        files["sizes/noise-" + std::to_string(size) + ".bin"] = RandomBytes(size, size);
    }
    files["sizes/empty.txt"] = "";
    files["large/Pages.HTM"] = CompressibleText(1 << 20);
    files["large/photo.jpg"] = RandomBytes(700000, 3);
    return files;
}

TEST(Concurrency, TwoHundredClientsAtOnceEachGetTheirWholeFile) {
    TempDir dir;
    const auto files = TreeFiles();
    CompileTree(files, dir / "site", dir / "site.pel");
    const uint16_t port = StartServer(dir / "site.pel");
    ASSERT_NE(port, 0);

    std::vector<std::pair<std::string, std::string>> requests;  // path, expected response
    for (const auto& [name, content] : files) {
        requests.emplace_back(
            name, ExpectedResponse("HTTP/1.1", ContentTypeOf(PageExtension(name)), content));
    }

    std::latch start(kClients);
    std::vector<std::string> failures(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            const auto& [name, expected] = requests[i % requests.size()];
            start.arrive_and_wait();
            TalkOptions options;
            options.limit = 60s;
            const Exchange exchange =
                Talk(port, {{"GET /" + name + " HTTP/1.1\r\nHost: localhost\r\n\r\n"}}, options);
            if (exchange.received != expected) {
                failures[i] = name + ": " + std::to_string(exchange.received.size()) + " of " +
                              std::to_string(expected.size()) + " bytes" +
                              (exchange.connected ? "" : ", not connected") +
                              (exchange.reset ? ", reset" : "") +
                              (exchange.timedOut ? ", timed out" : "");
            }
        });
    }
    for (auto& client : clients) client.join();
    for (int i = 0; i < kClients; ++i) EXPECT_EQ(failures[i], "") << "client " << i;
}

}  // namespace
