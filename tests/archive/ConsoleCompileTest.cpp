// The real program, compiling from the command line without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "Shared/LoadedArchive.h"
#include "tests/archive/CompileHelpers.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;

namespace {

const std::string kDone = "Done (at this point you can only quit from the application).";

std::string RunConsoleProgram(const std::string& arguments, int* status,
                              std::string* errors = nullptr) {
    TempDir scratch;
    std::string output;
    *status =
        RunCommand(ProgramPath() + " --console " + arguments + " 2>" + (scratch / "err"), &output);
    if (errors != nullptr) *errors = ReadBytes(scratch / "err");
    return output;
}

TEST(ConsoleCompile, PacksTheExampleSiteAndReportsDone) {
    TempDir dir;
    int status = -1;
    std::string errors;
    std::string output =
        RunConsoleProgram("--compile-source " PELORINE_EXAMPLE_SITE " --compile-archive " +
                              (dir / "site.pel") + " --compile",
                          &status, &errors);
    EXPECT_EQ(status, 0) << errors;
    EXPECT_EQ(output.substr(output.rfind('\n', output.size() - 2) + 1), kDone + "\n") << output;
    const std::optional<LoadedArchive> loaded = LoadArchive(dir / "site.pel").Archive;
    ASSERT_TRUE(loaded);
    std::set<std::string> names;
    for (const EntryView entry : loaded->Entries) names.insert(std::string(entry.Name));
    for (const char* expected : {"index.html", "styles/site.css", "images/CHART.PNG",
                                 ".hidden-note", "docs/empty.txt", "downloads/survey.zip"}) {
        EXPECT_TRUE(names.count(expected)) << expected;
    }
}

TEST(ConsoleCompile, ArchiveThatCannotBeCreatedExitsOneAndSaysWhy) {
    TempDir dir;
    int status = -1;
    std::string errors;
    std::string output =
        RunConsoleProgram("--compile-source " + (dir / "x") + " --compile-archive " +
                              (dir / "no/such.pel") + " --compile",
                          &status, &errors);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(output, kDone + "\n");
    EXPECT_NE(errors.find(dir / "no/such.pel"), std::string::npos) << errors;
    EXPECT_NE(errors.find("No such file or directory"), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

TEST(ConsoleCompile, NoActionPrintsUsageAndSecondActionIsNotRun) {
    int status = -1;
    std::string errors;
    EXPECT_EQ(RunConsoleProgram("--compile-source x", &status, &errors), "");
    EXPECT_EQ(status, 2);
    EXPECT_NE(errors.find("usage"), std::string::npos);

    // An unknown level is refused before anything runs.
    TempDir refused;
    EXPECT_EQ(RunConsoleProgram("--compile-source " PELORINE_EXAMPLE_SITE " --compile-archive " +
                                    (refused / "a.pel") + " --compile --compile-level smallest",
                                &status, &errors),
              "");
    EXPECT_EQ(status, 2);
    EXPECT_NE(errors.find("--compile-level takes fast or best"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(refused / "a.pel"));

    TempDir dir;
    RunConsoleProgram("--compile-source " + (dir / "missing") + " --compile-archive " +
                          (dir / "a.pel") + " --compile --browse-archive " + (dir / "a.pel") +
                          " --browse",
                      &status, &errors);
    EXPECT_EQ(status, 0);
    EXPECT_NE(errors.find("'--browse' ignored"), std::string::npos) << errors;
    EXPECT_EQ(ReadBytes(dir / "a.pel"), std::string("\x04\x00\x00\x00", 4));
}

TEST(ConsoleCompile, ProgressLineIsDrawnOnlyOnATerminal) {
    TempDir dir;
    const std::string arguments = "--compile-threads 2 --compile-source " PELORINE_EXAMPLE_SITE
                                  " --compile-archive " +
                                  (dir / "site.pel") + " --compile";
    // script runs the program on a pseudo-terminal and passes on what it shows.
    std::string shown;
    ASSERT_EQ(
        RunCommand("script -qec '" + ProgramPath() + " --console " + arguments + "' /dev/null",
                   &shown),
        0);
    EXPECT_NE(shown.find(" files, "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" MB/s "), std::string::npos) << shown;
    // The summary comes after the last progress line, on a line of its own.
    const size_t summary = shown.find("\npelorine: ");
    EXPECT_NE(summary, std::string::npos) << shown;
    EXPECT_GT(summary, shown.rfind(" MB/s ")) << shown;

    int status = -1;
    std::string errors;
    RunConsoleProgram(arguments, &status, &errors);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors.find('\r'), std::string::npos) << errors;
    EXPECT_EQ(errors.find("MB/s"), std::string::npos) << errors;
}

}  // namespace
