// The compile on its own thread while another thread watches its progress,
// as the window's clock does: run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "Compiler/CompileTask.h"
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
    CompileProgress progress;
    CompileTask compile;
    ASSERT_TRUE(compile.Start(CompileJob{dir / "site", dir / "out.pel"}, progress));

    const std::string done = "Done (at this point you can only quit from the application).";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const ServerState noServer;
    std::string status;
    while (std::chrono::steady_clock::now() < deadline) {
        status = CurrentStatusText(progress, noServer);
        if (status == done) break;
        // Every text seen names a whole file, never a torn or mixed one.
        if (status != "Standby." && status != "Compiling ...") {
            ASSERT_EQ(status.rfind("Compiling ", 0), 0u) << status;
            std::string name = status.substr(10, status.size() - 13);
            EXPECT_TRUE(names.count(name)) << status;
        }
    }
    ASSERT_EQ(status, done);
    EXPECT_TRUE(compile.WaitFor(std::chrono::milliseconds(0)));
    EXPECT_FALSE(progress.CompileFailed);
    EXPECT_EQ(Loaded(dir / "out.pel").Entries.size(), 300u);
}

// The owner that goes away mid-compile (the window closing) ends it at the
// next file: no archive put in place, no partial file left, the thread joined.
TEST(CompileThread, AStoppedCompileEndsWithoutAnArchive) {
    TempDir dir;
    for (int i = 0; i < 2000; ++i) {
        WriteBytes(dir / ("site/d" + std::to_string(i % 13) + "/f" + std::to_string(i) + ".html"),
                   CompressibleText(20000));
    }
    for (const unsigned threads : {1u, 4u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        CompileProgress progress;
        {
            CompileTask compile;
            ASSERT_TRUE(
                compile.Start(CompileJob{dir / "site", dir / "out.pel", threads}, progress));
            while (progress.FilesPacked == 0 && !compile.WaitFor(std::chrono::milliseconds(1))) {
            }
        }
        EXPECT_TRUE(progress.CompileFinished);
        EXPECT_TRUE(progress.CompileFailed);
        EXPECT_LT(progress.FilesPacked, 2000u);
        EXPECT_FALSE(std::filesystem::exists(dir / "out.pel"));
        EXPECT_FALSE(std::filesystem::exists(PartialArchivePath(dir / "out.pel")));
    }
}
