// The access log's lines, and its writer across a log rotation.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "WebServer/AccessLog.h"
#include "WebServer/AccessLogLine.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(AccessLogLine, WritesTheCombinedFormatWithNothingAFieldCouldForge) {
    AccessRecord plain{"127.0.0.1", 784111777,   "GET /a.html HTTP/1.1", 200,
                       512,         "http://x/", "Mozilla/5.0 (X11)"};
    AccessRecord odd{"", 0, "GET /\"q\\\x01\xE9 HTTP/1.1", 404, 0, "", std::nullopt};
    const std::pair<AccessRecord, std::string> cases[] = {
        {plain,
         "127.0.0.1 - - [06/Nov/1994:08:49:37 +0000] \"GET /a.html HTTP/1.1\" 200 512 "
         "\"http://x/\" \"Mozilla/5.0 (X11)\"\n"},
        {odd,
         "- - - [01/Jan/1970:00:00:00 +0000] \"GET /\\x22q\\x5C\\x01\\xE9 HTTP/1.1\" 404 0 "
         "\"-\" \"-\"\n"},
    };
    for (const auto& [record, line] : cases) EXPECT_EQ(AccessLogLine(record), line);
}

std::string WaitForContent(const std::string& path, size_t size) {
    std::string content;
    for (int i = 0; i < 500 && content.size() < size; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        content = testing_support::ReadBytes(path);
    }
    return content;
}

// Rotation as logrotate does it: the file is renamed, then a hang-up makes the
// writer open a new one by the name; nothing is lost on the way.
TEST(AccessLog, ReopensItsFileOnAHangupAndWritesEverythingBeforeItEnds) {
    testing_support::TempDir dir;
    const std::string path = dir / "access.log";
    {
        AccessLog log(path);
        ASSERT_TRUE(log.Ready());
        log.Post("one\n");
        log.Post("two\n");
        ASSERT_EQ(WaitForContent(path, 8), "one\ntwo\n");
        std::filesystem::rename(path, dir / "access.log.1");
        raise(SIGHUP);
        // The writer takes the hang-up within its check interval.
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * kHangupCheckMilliseconds));
        log.Post("three\n");
        EXPECT_EQ(log.Dropped(), 0u);
    }
    EXPECT_EQ(testing_support::ReadBytes(dir / "access.log.1"), "one\ntwo\n");
    EXPECT_EQ(testing_support::ReadBytes(path), "three\n");
    EXPECT_FALSE(AccessLog("/no/such/folder/access.log").Ready());
}

// A disk that stops taking lines: a pipe nobody reads. Posting never waits;
// past the queue's bound lines are dropped and counted, and every line that
// does arrive, once the pipe is read, arrives whole.
TEST(AccessLog, DropsWholeLinesWhenTheWriterStallsAndNeverMakesAResponseWait) {
    testing_support::TempDir dir;
    const std::string path = dir / "stalled.log";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::string line = std::string(999, 'x') + "\n";
    // Four times what the pipe, the queue and one batch in hand hold.
    const size_t posted = 4 * kAccessLogQueueBytes / line.size();
    std::optional<AccessLog> log(std::in_place, path);
    ASSERT_TRUE(log->Ready());
    for (size_t i = 0; i < posted; ++i) log->Post(line);
    const uint64_t dropped = log->Dropped();
    EXPECT_GT(dropped, 0u);
    // Now read, so that the writer can end.
    ASSERT_EQ(fcntl(reader, F_SETFL, 0), 0);
    std::string arrived;
    std::thread drain([&] {
        char buffer[65536];
        ssize_t got = 0;
        while ((got = read(reader, buffer, sizeof buffer)) > 0) arrived.append(buffer, got);
    });
    // Ending writes what is queued; its closing the pipe ends the drain.
    log.reset();
    drain.join();
    close(reader);
    EXPECT_EQ(arrived.size() % line.size(), 0u);
    EXPECT_EQ(arrived.size() / line.size() + dropped, posted);
    EXPECT_EQ(arrived.find_first_not_of(line.substr(0, 999) + "\n"), std::string::npos);
}

}  // namespace
