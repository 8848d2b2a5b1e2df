// The command-line walk and the status texts, without any window.
#include <gtest/gtest.h>

#include "Startup/CommandLine.h"
#include "Startup/StatusText.h"

namespace {

// Records what the walk did, in order, as one line per event.
class RecordingTarget : public CommandLineTarget {
  public:
    std::string log;
    std::string folder, destination, archive;

    void SetCompileFolder(const std::string& text) override { folder = text; }
    void SetCompileDestination(const std::string& text) override { destination = text; }
    void SetBrowseArchive(const std::string& text) override { archive = text; }
    void SetCompileThreads(unsigned count) override {
        log += "threads(" + std::to_string(count) + ");";
    }
    void Compile() override { log += "compile(" + folder + "," + destination + ");"; }
    void Browse() override { log += "browse(" + archive + ");"; }
    void SecondActionIgnored(const std::string& option) override {
        log += "ignored(" + option + ");";
    }
};

std::string Walk(const std::vector<std::string>& arguments, RecordingTarget* out = nullptr) {
    RecordingTarget target;
    WalkCommandLine(arguments, target);
    if (out != nullptr) *out = target;
    return target.log;
}

TEST(CommandLine, ActionsTakeTheFieldsAsTheyAreWhenMet) {
    EXPECT_EQ(Walk({"--compile-source", "src", "--compile-archive", "a.pel", "--compile"}),
              "compile(src,a.pel);");
    RecordingTarget after;
    EXPECT_EQ(Walk({"--compile", "--compile-source", "src", "--compile-archive", "a.pel"}, &after),
              "compile(,);");
    EXPECT_EQ(after.folder, "src");  // the fields still fill, too late for the action
    EXPECT_EQ(Walk({"--browse-archive", "site.pel", "--browse"}), "browse(site.pel);");
}

TEST(CommandLine, ValuesRepeatedMissingOrMistypedBehaveAsDocumented) {
    RecordingTarget target;
    EXPECT_EQ(Walk({"--compile-source", "one", "--compile-source", "two"}, &target), "");
    EXPECT_EQ(target.folder, "two");
    EXPECT_EQ(Walk({"--compile-source"}, &target), "");
    EXPECT_EQ(target.folder, "");
    EXPECT_EQ(Walk({"--Compile", "-compile", "--COMPILE", "compile", "--browse-Archive", "x",
                    "--Browse"}),
              "");
    EXPECT_EQ(Walk({}), "");
}

TEST(CommandLine, AValueIsComparedAgainOnTheNextPass) {
    RecordingTarget target;
    // "--browse" is taken as the archive path, then acts as the option itself.
    EXPECT_EQ(Walk({"--browse-archive", "--browse"}, &target), "browse(--browse);");
    EXPECT_EQ(Walk({"--compile-source", "--compile"}, &target), "compile(--compile,);");
}

TEST(CommandLine, OnlyTheFirstActionRuns) {
    EXPECT_EQ(Walk({"--browse-archive", "x", "--browse", "--compile"}),
              "browse(x);ignored(--compile);");
    EXPECT_EQ(Walk({"--compile", "--compile"}), "compile(,);ignored(--compile);");
}

TEST(CommandLine, ThreadCountsOutsideOneTo256AreIgnored) {
    EXPECT_EQ(
        Walk({"--compile-threads", "2", "--compile-threads", "256", "--compile-threads", "1"}),
        "threads(2);threads(256);threads(1);");
    EXPECT_EQ(Walk({"--compile-threads", "0", "--compile-threads", "257", "--compile-threads", "-1",
                    "--compile-threads", "+2", "--compile-threads", "2x", "--compile-threads", "",
                    "--compile-threads"}),
              "");
}

TEST(CommandLine, BrowseOptionsCountWhereverTheyStandAndOnlyAsWritten) {
    const BrowseOptions none = BrowseOptionsFrom(
        {"--browse", "--Browse-Decode-Paths", "-browse-folder-index", "--browse-standard-type"});
    EXPECT_FALSE(none.StandardTypes || none.DecodePaths || none.FolderIndex);
    const BrowseOptions all =
        BrowseOptionsFrom({"--browse-folder-index", "--browse-archive", "x", "--browse",
                           "--browse-decode-paths", "--browse-standard-types"});
    EXPECT_TRUE(all.StandardTypes && all.DecodePaths && all.FolderIndex);
    EXPECT_EQ(
        BrowseOptionsFrom({"--browse-ranges", "--browse-validators", "--browse-head",
                           "--browse-status-codes", "--browse-standard-types",
                           "--browse-decode-paths", "--browse-folder-index", "--browse-search"}),
        BrowseOptions::Modern());
    EXPECT_EQ(BrowseOptionsFrom({"--browse-head", "--browse-modern"}), BrowseOptions::Modern());
    EXPECT_EQ(BrowseOptionsFrom({"--browse-modern", "--browse-head"}), BrowseOptions::Modern());
    EXPECT_EQ(BrowseOptionsFrom({"--browse-Modern", "--browse-range"}), BrowseOptions{});
    EXPECT_EQ(Walk({"--browse-decode-paths", "--browse-archive", "x", "--browse"}), "browse(x);");
}

TEST(CommandLine, TheMemoryLimitIsAWholeNumberOfMebibytesOrTheDefault) {
    const struct {
        std::vector<std::string> arguments;
        uint32_t mebibytes;
    } cases[] = {
        {{"--browse"}, kDefaultBrowseMemoryLimitMiB},
        {{"--browse-memory-limit", "300", "--browse"}, 300},
        {{"--browse", "--browse-memory-limit", "1"}, 1},
        {{"--browse-memory-limit", "64", "--browse-modern"}, 64},
        {{"--browse-memory-limit", "0"}, kDefaultBrowseMemoryLimitMiB},
        {{"--browse-memory-limit", "12x"}, kDefaultBrowseMemoryLimitMiB},
        {{"--browse-memory-limit", "-5"}, kDefaultBrowseMemoryLimitMiB},
        {{"--browse-memory-limit", "4294967297"}, kDefaultBrowseMemoryLimitMiB},
        {{"--browse-memory-limit"}, kDefaultBrowseMemoryLimitMiB},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BrowseOptionsFrom(c.arguments).MemoryLimitMiB, c.mebibytes)
            << ::testing::PrintToString(c.arguments);
    }
}

TEST(StatusText, FirstRuleThatHoldsWins) {
    const std::string serving = "Web server activated (http://localhost:8078/index.html).";
    const std::string done = "Done (at this point you can only quit from the application).";
    EXPECT_EQ(StatusText(true, true, true, "x"), serving);
    EXPECT_EQ(StatusText(true, false, false, ""), serving);
    EXPECT_EQ(StatusText(false, false, false, "x"), "Standby.");
    EXPECT_EQ(StatusText(false, true, true, "x"), done);
    EXPECT_EQ(StatusText(false, true, false, "index.html"), "Compiling index.html...");
    EXPECT_EQ(StatusText(false, true, false, ""), "Compiling ...");
}

}  // namespace
