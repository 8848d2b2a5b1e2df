// Browse from the window: the server on port 8078, the start page handed to
// the browser opener at once, and a window that starts minimized.
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "Compiler/Progress.h"
#include "Startup/TfrmStartup.h"
#include "Startup/Version.h"
#include "WebServer/ServerState.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/window/WindowTestSupport.h"

using namespace window_testing;
using testing_support::TempDir;

namespace {

constexpr const char* kServing = "Web server activated (http://localhost:8078/index.html).";
constexpr const char* kStartPage = "http://localhost:8078/index.html\n";
const std::string kCaption = std::string("Pelorine (v. ") + kProgramVersion + ")";

// The example site packed by the program's console.
std::string CompileExampleSite(const TempDir& folder) {
    const std::string archive = folder / "site.pel";
    const int status = testing_support::RunCommand(
        testing_support::ProgramPath() +
        " --console --compile-source " PELORINE_EXAMPLE_SITE " --compile-archive '" + archive +
        "' --compile >/dev/null 2>&1");
    EXPECT_EQ(status, 0);
    return archive;
}

std::string FetchStartPage() {
    server_testing::TalkOptions options;
    options.limit = std::chrono::milliseconds(5000);
    return server_testing::Talk(kServerPort, {{"GET /index.html HTTP/1.1\r\n\r\n"}}, options)
        .received;
}

class BrowseWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { OpenDisplay(); }
    std::unique_ptr<TfrmStartup> form_;
};

TEST_F(BrowseWindowTest, BrowseClickServesTheArchiveAndOpensTheStartPageAtOnce) {
    TempDir folder;
    const std::string archive = CompileExampleSite(folder);
    // An opener that takes its time: the window must not wait for it.
    OpenerStub opener(/*lingerSeconds=*/5);
    form_ = std::make_unique<TfrmStartup>(ReadCommandLine({"--browse-archive", archive}));
    TfrmStartup& form = *form_;
    ShowAndSettle(form, [&] { form.ShowFirst(); });
    EXPECT_FALSE(AskedToStartIconic(form));

    Click(form, 460, 464);  // on "Browse"
    ASSERT_TRUE(PumpUntil([&] { return !form.lbBrowse->active(); }, 3));
    for (Fl_Widget* input :
         std::vector<Fl_Widget*>{form.lbCompile, form.edCompileFolder, form.edCompileDestination,
                                 form.edBrowseArchive}) {
        EXPECT_FALSE(input->active());
    }
    EXPECT_EQ(opener.WaitForCall(3), kStartPage);
    EXPECT_TRUE(PumpUntil([&] { return form.lbStatus->Caption() == kServing; }, 2.5));
    // The window kept running while the opener still lingers.
    EXPECT_TRUE(PumpUntil(
        [&] { return form.ServerStatus().CurrentServerStage == ServerStage::Listening; }, 5));
    const std::string page = FetchStartPage();
    EXPECT_EQ(page.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << page;
    const std::string expected = testing_support::ReadBytes(PELORINE_EXAMPLE_SITE "/index.html");
    EXPECT_EQ(page.substr(page.size() - std::min(page.size(), expected.size())), expected);
    Screenshot(form, "serving");

    // Nothing reacts any more.
    Click(form, 460, 279);
    Click(form, 480, 414);
    Type(form, "x");
    Pump(0.5);
    EXPECT_FALSE(form.CompileStatus().CompileStarted);
    EXPECT_EQ(form.edBrowseArchive->Text(), archive);
    EXPECT_EQ(opener.Record(), kStartPage);
}

// The archive field takes a library's folder too: Browse serves every archive
// in it, its start page listing them.
TEST_F(BrowseWindowTest, BrowseWithAFolderServesItAsALibrary) {
    TempDir folder;
    CompileExampleSite(folder);
    OpenerStub opener;
    form_ = std::make_unique<TfrmStartup>(
        ReadCommandLine({"--browse-archive", folder.path().string()}));
    TfrmStartup& form = *form_;
    ShowAndSettle(form, [&] { form.ShowFirst(); });
    Click(form, 460, 464);  // on "Browse"
    EXPECT_EQ(opener.WaitForCall(3), kStartPage);
    ASSERT_TRUE(PumpUntil(
        [&] { return form.ServerStatus().CurrentServerStage == ServerStage::Listening; }, 5));
    const std::string page = FetchStartPage();
    EXPECT_EQ(page.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << page;
    EXPECT_NE(page.find("<a href=\"/site/index.html\">"), std::string::npos) << page;
}

struct CommandLineBrowse {
    const char* name;
    std::vector<std::string> arguments;
    std::string archiveField;
};

void PrintTo(const CommandLineBrowse& browse, std::ostream* out) {
    *out << ::testing::PrintToString(browse.arguments);
}

class BrowseFromCommandLine : public BrowseWindowTest,
                              public ::testing::WithParamInterface<CommandLineBrowse> {};

TEST_P(BrowseFromCommandLine, StartsMinimizedAndShowsTheServerEvenWithoutAnArchive) {
    OpenerStub opener;
    form_ = std::make_unique<TfrmStartup>(ReadCommandLine(GetParam().arguments));
    TfrmStartup& form = *form_;
    // Browse ran while the window was made: before it is first shown.
    EXPECT_TRUE(form.StartsMinimized());
    EXPECT_FALSE(form.shown());
    EXPECT_FALSE(form.edBrowseArchive->active());
    EXPECT_EQ(form.edBrowseArchive->Text(), GetParam().archiveField);
    EXPECT_EQ(opener.WaitForCall(3), kStartPage);

    ShowAndSettle(form, [&] { form.ShowFirst(); });
    EXPECT_TRUE(AskedToStartIconic(form));
    // The archive cannot be opened; the status still names the server.
    EXPECT_TRUE(PumpUntil([&] { return form.lbStatus->Caption() == kServing; }, 2.5));
    EXPECT_TRUE(PumpUntil(
        [&] { return form.ServerStatus().CurrentServerStage == ServerStage::ArchiveNotOpened; },
        3));
    Pump(1.2);
    EXPECT_EQ(form.lbStatus->Caption(), kServing);
    // A second action on the command line is not run.
    EXPECT_FALSE(form.CompileStatus().CompileStarted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrowseFromCommandLine,
    ::testing::Values(CommandLineBrowse{"MissingArchive",
                                        {"--browse-archive", "/nonexistent/site.pel", "--browse"},
                                        "/nonexistent/site.pel"},
                      // The option's value is "--browse", which then starts Browse with it;
                      // the later "--compile" is a second action and is not run.
                      CommandLineBrowse{"OptionAsValue",
                                        {"--browse-archive", "--browse", "--compile"},
                                        "--browse"}),
    [](const ::testing::TestParamInfo<CommandLineBrowse>& info) { return info.param.name; });

TEST(BrowseProgramTest, TheProgramStartsMinimizedServesAndEndsAtOnceWhenClosed) {
    TempDir folder;
    const std::string archive = CompileExampleSite(folder);
    OpenerStub opener;
    const char* path = std::getenv("PATH");
    const std::string stubFolder = std::string(path).substr(0, std::string(path).find(':'));
    const int pid = StartProgram({"--browse-archive", archive, "--browse"}, stubFolder);
    ASSERT_GT(pid, 0);
    const unsigned long window = FindWindowTitled(kCaption, 10);
    ASSERT_NE(window, 0u);
    std::string hints;
    testing_support::RunCommand("xprop -id " + std::to_string(window) + " WM_HINTS", &hints);
    EXPECT_NE(hints.find("Iconic"), std::string::npos) << hints;
    EXPECT_EQ(opener.WaitForCall(5), kStartPage);

    std::string page;
    for (int attempt = 0; attempt < 50 && page.empty(); ++attempt) {
        page = FetchStartPage();
        if (page.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(page.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << page;
    // The opener was started by a child that is gone: nothing left to reap.
    EXPECT_FALSE(HasChildren(pid));

    // Closing ends the process at once while the server still listens.
    SendClose(window);
    EXPECT_EQ(WaitForExit(pid, 3), 0);
}

}  // namespace
