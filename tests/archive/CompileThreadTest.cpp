// The compile on its own thread while another thread watches its progress,
// as the window's clock does: run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "Platform/Thread.h"
#include "Startup/StatusText.h"
#include "tests/archive/CompileHelpers.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

TEST(CompileThread, ProgressIsReadWholeWhileTheWorkerPacks) {
    TempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 300; ++i) {
        std::string name = "page-" + std::to_string(i) + std::string(i % 40, 'x') + ".html";
        names.insert(name);
        WriteBytes(dir / ("site/d" + std::to_string(i % 7) + "/" + name),
                   CompressibleText(2000 + i));
    }
    Progress.Reset();
    ASSERT_TRUE(platform::StartThread(CompileJob{dir / "site", dir / "out.pel"}));

    const std::string done = "Done (at this point you can only quit from the application).";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::string status;
    while (std::chrono::steady_clock::now() < deadline) {
        status = CurrentStatusText();
        if (status == done) break;
        // Every text seen names a whole file, never a torn or mixed one.
        if (status != "Standby." && status != "Compiling ...") {
            ASSERT_EQ(status.rfind("Compiling ", 0), 0u) << status;
            std::string name = status.substr(10, status.size() - 13);
            EXPECT_TRUE(names.count(name)) << status;
        }
    }
    ASSERT_EQ(status, done);
    EXPECT_FALSE(Progress.CompileFailed);
    EXPECT_EQ(Loaded(dir / "out.pel").Entries.size(), 300u);
}
