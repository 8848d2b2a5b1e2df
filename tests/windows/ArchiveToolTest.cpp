// The Windows archive tool under Wine: extract refuses the names Windows would
// alter or read as something else, and writes the sound ones beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

// The command that runs the Windows tool, such as "wine .../pelorine-archive.exe".
std::string WindowsTool() {
    const char* command = std::getenv("PELORINE_WINDOWS_ARCHIVE_TOOL");
    return command != nullptr ? command : "";
}

std::string LittleEndian(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// An archive of raw entries, each holding its own name as content.
std::string RawArchive(const std::vector<std::string>& names) {
    std::string data;
    std::string index;
    for (const std::string& name : names) {
        index += LittleEndian(static_cast<uint32_t>(name.size()), 4) + LittleEndian(0, 4) +
                 LittleEndian(static_cast<uint32_t>(4 + data.size()), 4) +
                 LittleEndian(static_cast<uint32_t>(name.size()), 2) + name;
        data += name;
    }
    return LittleEndian(static_cast<uint32_t>(4 + data.size()), 4) + data + index;
}

TEST(WindowsArchiveTool, ExtractRefusesNamesWindowsWouldAlter) {
    if (WindowsTool().empty()) GTEST_SKIP() << "PELORINE_WINDOWS_ARCHIVE_TOOL is not set";
    const std::vector<std::string> altered = {
        "con.txt",         "pages/AUX/page.html", "lpt1",      "trailing-dot.",
        "trailing-space ", "stream:hidden",       "wild?.txt", "C:/drive.txt",
    };
    std::vector<std::string> names = altered;
    names.push_back("sound/page.html");
    TempDir dir;
    WriteBytes(dir / "altered.pel", RawArchive(names));
    std::string output;
    EXPECT_EQ(RunCommand(WindowsTool() + " extract " + (dir / "altered.pel") + " " + (dir / "out") +
                             " 2>&1",
                         &output),
              1);
    EXPECT_EQ(static_cast<size_t>(std::count(output.begin(), output.end(), '\n')), altered.size())
        << output;
    std::vector<std::string> written;
    for (const auto& item : std::filesystem::recursive_directory_iterator(dir / "out")) {
        if (item.is_regular_file()) written.push_back(item.path().string());
    }
    EXPECT_EQ(written, std::vector<std::string>{dir / "out/sound/page.html"});
    EXPECT_EQ(ReadBytes(dir / "out/sound/page.html"), "sound/page.html");
}

}  // namespace
