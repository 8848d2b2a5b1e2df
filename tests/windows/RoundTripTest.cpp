// The Windows program under Wine: it packs a tree into the same archive as the
// Linux program, entry by entry, at any path length (and the archive tool
// writes that tree back), and refuses to replace an archive it serves unless the
// server reloads it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>
#include <tuple>

#include "WebServer/ServerState.h"
#include "tests/reliability/IndependentArchiveReader.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

// The command that runs the Windows program, such as "wine .../pelorine.exe".
std::string WindowsProgram() {
    const char* command = std::getenv("PELORINE_WINDOWS_PROGRAM");
    return command != nullptr ? command : "";
}

#define SKIP_WITHOUT_WINDOWS_PROGRAM() \
    if (WindowsProgram().empty()) GTEST_SKIP() << "PELORINE_WINDOWS_PROGRAM is not set"

// The command that runs the Windows archive tool.
std::string WindowsTool() {
    const char* command = std::getenv("PELORINE_WINDOWS_ARCHIVE_TOOL");
    return command != nullptr ? command : "";
}

// A tree with what a saved site holds: pages, stored-raw and incompressible
// files, an empty file, nested folders, a dot file and non-ASCII names.
void WriteTree(const std::string& folder) {
    WriteBytes(folder + "/index.html", CompressibleText(20000));
    WriteBytes(folder + "/empty.txt", "");
    WriteBytes(folder + "/.htaccess", "Options -Indexes\n");
    WriteBytes(folder + "/images/photo.jpg", RandomBytes(5000, 3));
    WriteBytes(folder + "/images/noise.bin", RandomBytes(70000, 4));
    WriteBytes(folder + "/docs/Guide/Page.HTM", CompressibleText(900));
    WriteBytes(folder + "/docs/\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.html", "<p>UTF-8</p>");
    WriteBytes(folder + "/archive.zip", CompressibleText(4000));
}

using Entry = std::tuple<uint32_t, uint32_t, std::string>;  // unpacked, packed, stored bytes

// The archive's entries by name; the walk order may differ between systems.
std::map<std::string, Entry> Entries(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    const independent::ArchiveReader reader(bytes);
    EXPECT_TRUE(reader.problems().empty()) << path << ": " << reader.problems().front();
    std::map<std::string, Entry> entries;
    for (const auto& record : reader.records()) {
        entries[record.name] = {record.unpackedSize, record.packedSize,
                                bytes.substr(record.dataOffset, record.storedSize())};
    }
    return entries;
}

TEST(WindowsProgram, PacksATreeIntoTheLinuxArchiveEntryByEntry) {
    SKIP_WITHOUT_WINDOWS_PROGRAM();
    TempDir dir;
    WriteTree(dir / "site");
    const std::string arguments =
        " --console --compile-source " + (dir / "site") + " --compile-archive ";
    ASSERT_EQ(RunCommand(ProgramPath() + arguments + (dir / "linux.pel") + " --compile"), 0);
    ASSERT_EQ(RunCommand(WindowsProgram() + arguments + (dir / "windows.pel") + " --compile"), 0);
    const auto linux = Entries(dir / "linux.pel");
    EXPECT_EQ(linux.size(), 8u);
    EXPECT_TRUE(Entries(dir / "windows.pel") == linux);
}

// Every file below `folder` with its bytes, by path relative to it.
std::map<std::string, std::string> Tree(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
        if (item.is_regular_file()) {
            files[std::filesystem::relative(item.path(), folder).string()] =
                ReadBytes(item.path().string());
        }
    }
    return files;
}

TEST(WindowsProgram, PacksAndExtractsPathsLongerThanWindowsPlainLimit) {
    SKIP_WITHOUT_WINDOWS_PROGRAM();
    if (WindowsTool().empty()) GTEST_SKIP() << "PELORINE_WINDOWS_ARCHIVE_TOOL is not set";
    TempDir dir;
    // A mirrored site's depth: a folder per host and path segment, long slugs.
    std::string deep = dir / "site";
    for (int level = 0; level < 5; ++level) {
        deep += "/segment-" + std::to_string(level) + "-" + std::string(50, 'a' + level);
    }
    const std::string deepest = deep + "/" + std::string(60, 's') + ".html";
    ASSERT_GT(deepest.size(), 330u);
    WriteBytes(dir / "site/index.html", CompressibleText(3000));
    WriteBytes(deep + "/photo.jpg", RandomBytes(4000, 5));
    WriteBytes(deepest, CompressibleText(9000));

    const std::string arguments =
        " --console --compile-source " + (dir / "site") + " --compile-archive ";
    ASSERT_EQ(RunCommand(ProgramPath() + arguments + (dir / "linux.pel") + " --compile"), 0);
    std::string output;
    ASSERT_EQ(RunCommand(WindowsProgram() + arguments + (dir / "windows.pel") + " --compile 2>&1",
                         &output),
              0)
        << output;
    EXPECT_EQ(output.find("\\\\?\\"), std::string::npos) << output;
    const auto linux = Entries(dir / "linux.pel");
    EXPECT_EQ(linux.size(), 3u);
    EXPECT_TRUE(Entries(dir / "windows.pel") == linux);

    ASSERT_EQ(RunCommand(WindowsTool() + " extract " + (dir / "windows.pel") + " " + (dir / "out") +
                             " 2>&1",
                         &output),
              0)
        << output;
    EXPECT_EQ(output.find("\\\\?\\"), std::string::npos) << output;
    EXPECT_TRUE(Tree(dir / "out") == Tree(dir / "site"));
}

// Compiles the tree into dir/site.pel and serves it with the Windows
// program and `serveOptions`, then adds new.html to the tree: the command
// that compiles the tree over the archive served.
std::string ServeThenAddAPage(const TempDir& dir, const std::string& serveOptions) {
    WriteTree(dir / "site");
    const std::string compile = WindowsProgram() + " --console --compile-source " + (dir / "site") +
                                " --compile-archive " + (dir / "site.pel") + " --compile";
    EXPECT_EQ(RunCommand(compile), 0);
    setenv("PELORINE_SERVER_COMMAND", (WindowsProgram() + serveOptions).c_str(), 1);
    EXPECT_EQ(server_testing::StartServer(dir / "site.pel"), kServerPort);
    WriteBytes(dir / "site/new.html", "<p>new</p>");
    return compile;
}

TEST(WindowsProgram, ACompileOverTheArchiveItServesFailsAndKeepsIt) {
    SKIP_WITHOUT_WINDOWS_PROGRAM();
    TempDir dir;
    const std::string archive = dir / "site.pel";
    const std::string compile = ServeThenAddAPage(dir, "");
    const std::string served = ReadBytes(archive);
    std::string output;
    EXPECT_EQ(RunCommand(compile + " 2>&1", &output), 1);
    EXPECT_NE(output.find("pelorine: cannot write archive '" + archive +
                          "': the file there is in use by another program"),
              std::string::npos)
        << output;
    EXPECT_EQ(ReadBytes(archive), served);
    EXPECT_FALSE(std::filesystem::exists(archive + ".partial"));
    const auto exchange = server_testing::Talk(kServerPort, {{"GET /index.html HTTP/1.0\r\n"}});
    EXPECT_EQ(exchange.received,
              server_testing::ExpectedResponse("HTTP/1.0", "text/html", CompressibleText(20000)));
}

TEST(WindowsProgram, ACompileOverTheArchiveAReloadingServerServesReplacesIt) {
    SKIP_WITHOUT_WINDOWS_PROGRAM();
    TempDir dir;
    const std::string compile = ServeThenAddAPage(dir, " --browse-reload");
    ASSERT_EQ(RunCommand(compile), 0);
    std::string received;
    for (int tries = 0; tries < 50 && received.find("<p>new</p>") == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        received = server_testing::Talk(kServerPort, {{"GET /new.html HTTP/1.0\r\n"}}).received;
    }
    EXPECT_NE(received.find("<p>new</p>"), std::string::npos) << received;
    // Nothing but the archive and its tree is left beside it.
    for (const auto& item : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = item.path().filename().string();
        EXPECT_TRUE(name == "site" || name == "site.pel") << name;
    }
}

}  // namespace
