// The command line and the status texts, without any window.
#include <gtest/gtest.h>

#include "Startup/CommandLine.h"
#include "Startup/StatusText.h"

namespace {

// The walk in one line: the action with the fields it took, then any
// ignored actions.
std::string Walk(const std::vector<std::string>& arguments, StartupFields* fields = nullptr) {
    const CommandLineWalk walk = WalkCommandLine(arguments);
    if (fields != nullptr) *fields = walk.Fields;
    const StartupFields& taken = walk.FieldsAtAction;
    std::string log;
    if (walk.Action == StartupAction::Compile) {
        log += "compile(" + taken.CompileFolder + "," + taken.CompileDestination + ");";
    }
    if (walk.Action == StartupAction::Browse) log += "browse(" + taken.BrowseArchive + ");";
    for (const std::string& option : walk.IgnoredActions) log += "ignored(" + option + ");";
    return log;
}

TEST(CommandLine, ActionsTakeTheFieldsAsTheyAreWhenMet) {
    EXPECT_EQ(Walk({"--compile-source", "src", "--compile-archive", "a.pel", "--compile"}),
              "compile(src,a.pel);");
    StartupFields after;
    EXPECT_EQ(Walk({"--compile", "--compile-source", "src", "--compile-archive", "a.pel"}, &after),
              "compile(,);");
    EXPECT_EQ(after.CompileFolder, "src");  // the fields still fill, too late for the action
    EXPECT_EQ(Walk({"--browse-archive", "site.pel", "--browse"}), "browse(site.pel);");
}

TEST(CommandLine, ValuesRepeatedMissingOrMistypedBehaveAsDocumented) {
    StartupFields fields;
    EXPECT_EQ(Walk({"--compile-source", "one", "--compile-source", "two"}, &fields), "");
    EXPECT_EQ(fields.CompileFolder, "two");
    EXPECT_EQ(Walk({"--compile-source"}, &fields), "");
    EXPECT_EQ(fields.CompileFolder, "");
    EXPECT_EQ(Walk({"--Compile", "-compile", "--COMPILE", "compile", "--browse-Archive", "x",
                    "--Browse"}),
              "");
    EXPECT_EQ(Walk({}), "");
}

TEST(CommandLine, AValueIsComparedAgainOnTheNextPass) {
    // "--browse" is taken as the archive path, then acts as the option itself.
    EXPECT_EQ(Walk({"--browse-archive", "--browse"}), "browse(--browse);");
    EXPECT_EQ(Walk({"--compile-source", "--compile"}), "compile(--compile,);");
}

TEST(CommandLine, OnlyTheFirstActionRuns) {
    EXPECT_EQ(Walk({"--browse-archive", "x", "--browse", "--compile"}),
              "browse(x);ignored(--compile);");
    EXPECT_EQ(Walk({"--compile", "--compile"}), "compile(,);ignored(--compile);");
}

TEST(CommandLine, ThreadCountsOutsideOneTo256AreIgnored) {
    const struct {
        std::vector<std::string> arguments;
        unsigned threads;
    } cases[] = {
        {{"--compile-threads", "2"}, 2},
        {{"--compile-threads", "256"}, 256},
        {{"--compile-threads", "2", "--compile-threads", "1"}, 1},
        {{"--compile-threads", "3", "--compile-threads", "0"}, 3},
        {{"--compile-threads", "257"}, 0},
        {{"--compile-threads", "-1"}, 0},
        {{"--compile-threads", "+2"}, 0},
        {{"--compile-threads", "2x"}, 0},
        {{"--compile-threads", ""}, 0},
        {{"--compile-threads"}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WalkCommandLine(c.arguments).Fields.CompileThreads, c.threads)
            << ::testing::PrintToString(c.arguments);
    }
    // The count the action takes is the one given before it.
    const CommandLineWalk walk =
        WalkCommandLine({"--compile-threads", "2", "--compile", "--compile-threads", "4"});
    EXPECT_EQ(walk.FieldsAtAction.CompileThreads, 2u);
    EXPECT_EQ(walk.Fields.CompileThreads, 4u);
}

TEST(CommandLine, ALibraryFolderFillsTheArchiveFieldAndTheLastPathGivenDecides) {
    const struct {
        std::vector<std::string> arguments;
        std::string path;
        bool library;
    } cases[] = {
        {{"--browse-library", "docs", "--browse"}, "docs", true},
        {{"--browse-library", "docs", "--browse-archive", "a.pel"}, "a.pel", false},
        {{"--browse-archive", "a.pel", "--browse-library", "docs"}, "docs", true},
        {{"--browse-library"}, "", false},
    };
    for (const auto& c : cases) {
        const StartupFields fields = WalkCommandLine(c.arguments).Fields;
        EXPECT_EQ(fields.BrowseArchive, c.path) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(fields.BrowseLibrary, c.library) << ::testing::PrintToString(c.arguments);
    }
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
                           "--browse-decode-paths", "--browse-folder-index", "--browse-search",
                           "--browse-reload", "--browse-keep-alive", "--browse-compress"}),
        BrowseOptions::Modern());
    EXPECT_EQ(BrowseOptionsFrom({"--browse-head", "--browse-modern"}), BrowseOptions::Modern());
    EXPECT_EQ(BrowseOptionsFrom({"--browse-modern", "--browse-head"}), BrowseOptions::Modern());
    EXPECT_EQ(BrowseOptionsFrom({"--browse-Modern", "--browse-range"}), BrowseOptions{});
    EXPECT_EQ(Walk({"--browse-decode-paths", "--browse-archive", "x", "--browse"}), "browse(x);");
}

TEST(CommandLine, CompileLevelCountsWhereverItStandsAndRefusesAnyOtherWord) {
    using Level = std::optional<CompileLevel>;
    const struct {
        std::vector<std::string> arguments;
        Level level;
    } cases[] = {
        {{}, CompileLevel::Fast},
        {{"--compile", "--compile-level", "best"}, CompileLevel::Best},
        {{"--compile-level", "best", "--compile-level", "fast"}, CompileLevel::Fast},
        {{"--Compile-Level", "worst"}, CompileLevel::Fast},  // not the option
        {{"--compile-level", "Best"}, std::nullopt},
        {{"--compile-level", ""}, std::nullopt},
        {{"--compile-level", "--compile"}, std::nullopt},
        {{"--compile-level"}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompileLevelFrom(c.arguments), c.level) << ::testing::PrintToString(c.arguments);
    }
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

TEST(CommandLine, TheRootAndTheLogTakeTheirValuesOrAreAUsageError) {
    const struct {
        std::vector<std::string> arguments;
        std::string root;
        std::string log;
        bool usageError;
    } cases[] = {
        {{"--browse-modern"}, "", "", false},
        {{"--browse-url-root", "/docs/", "--browse"}, "/docs", "", false},
        {{"--browse-url-root", "/a", "--browse-url-root", "/b"}, "/b", "", false},
        {{"--browse-url-root", "/"}, "", "", false},
        {{"--browse-url-root", "/docs/../x"}, "", "", true},
        {{"--browse-url-root", "/%2e%2e"}, "", "", true},
        {{"--browse-url-root", "docs"}, "", "", true},
        {{"--browse-url-root"}, "", "", true},
        {{"--browse-access-log", "-"}, "", "-", false},
        {{"--browse-access-log", "/var/log/x.log", "--browse"}, "", "/var/log/x.log", false},
        {{"--browse-access-log", ""}, "", "", true},
        {{"--browse-access-log"}, "", "", true},
    };
    for (const auto& c : cases) {
        const BrowseOptions options = BrowseOptionsFrom(c.arguments);
        EXPECT_EQ(options.UrlRoot, c.root) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(options.AccessLogPath, c.log) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(!ReadCommandLine(c.arguments).BadBrowseValue.empty(), c.usageError)
            << ::testing::PrintToString(c.arguments);
    }
}

// What ReadCommandLine read, in words.
std::string Read(const std::vector<std::string>& arguments) {
    const StartupSettings settings = ReadCommandLine(arguments);
    std::string read;
    if (settings.Info == InfoRequest::Help) read += "help ";
    if (settings.Info == InfoRequest::Version) read += "version ";
    if (settings.LevelUnusable) read += "unusable-level ";
    if (settings.ConsoleAsked) read += "console ";
    if (settings.Walk.Action == StartupAction::Compile) read += "compile ";
    if (settings.Walk.Action == StartupAction::Browse) read += "browse ";
    if (settings.Actions.Level == CompileLevel::Best) read += "best ";
    if (settings.Actions.Browse.Search) read += "search ";
    return read;
}

TEST(CommandLine, ReadOnceItHoldsTheRequestTheActionAndWhatEveryActionTakesAlong) {
    const struct {
        std::vector<std::string> arguments;
        std::string read;
    } cases[] = {
        {{}, ""},
        {{"--compile", "--version", "--help"}, "version compile "},
        {{"--help", "--compile-level", "worst"}, "help unusable-level "},
        {{"--browse", "--console", "--compile-level", "best", "--browse-search"},
         "console browse best search "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.arguments), c.read) << ::testing::PrintToString(c.arguments);
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
