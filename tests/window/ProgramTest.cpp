// The program itself: window or console, and closing the window.
#include <gtest/gtest.h>

#include "Startup/Version.h"
#include "tests/support/TestFiles.h"
#include "tests/window/WindowTestSupport.h"

namespace {

using namespace window_testing;

const std::string kCaption = std::string("Pelorine (v. ") + kProgramVersion + ")";

TEST(ProgramTest, WithoutADisplayOrWithConsoleItRunsInTheConsole) {
    const struct {
        const char* environment;
        const char* arguments;
    } cases[] = {
        {"env -u DISPLAY", ""},
        {"env DISPLAY=", ""},
        {"env DISPLAY=:9999", ""},  // named, but nothing to open
        {"env", "--console"},       // a display exists
    };
    for (const auto& run : cases) {
        SCOPED_TRACE(std::string(run.environment) + " " + run.arguments);
        std::string output;
        const int status = testing_support::RunCommand(std::string(run.environment) + " " +
                                                           testing_support::ProgramPath() + " " +
                                                           run.arguments + " 2>&1",
                                                       &output);
        // The console without an action: its usage and exit status 2.
        EXPECT_EQ(status, 2);
        EXPECT_NE(output.find("usage: pelorine"), std::string::npos) << output;
    }
}

TEST(ProgramTest, WithADisplayTheWindowOpensCentredAndClosingItEndsTheProgram) {
    const int pid = StartProgram({});
    ASSERT_GT(pid, 0);
    const unsigned long window = FindWindowTitled(kCaption, 10);
    ASSERT_NE(window, 0u);
    std::string geometry;
    testing_support::RunCommand("xwininfo -id " + std::to_string(window), &geometry);
    // Centred on the 1280 x 1024 screen of with-display.sh.
    EXPECT_NE(geometry.find("Absolute upper-left X:  379"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Absolute upper-left Y:  245"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Width: 522"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Height: 533"), std::string::npos) << geometry;
    std::string properties;
    testing_support::RunCommand("xprop -id " + std::to_string(window) + " WM_CLASS WM_ICON_NAME",
                                &properties);
    EXPECT_NE(properties.find("\"Pelorine\""), std::string::npos) << properties;

    SendClose(window);
    EXPECT_EQ(WaitForExit(pid, 5), 0);
}

}  // namespace
