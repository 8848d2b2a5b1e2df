#include "Startup/Console.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "Compiler/CompileTask.h"
#include "Compiler/Progress.h"
#include "Platform/Terminal.h"
#include "Shared/ArchiveLayout.h"
#include "Startup/CommandLine.h"
#include "Startup/ConsoleBrowse.h"
#include "Startup/ProgramInfo.h"
#include "Startup/ProgressLine.h"
#include "Startup/StatusText.h"

namespace {

// How often the status is looked at, like the window's clock.
constexpr auto kStatusInterval = std::chrono::seconds(1);

enum class Action { None, Compile, Browse };

// Plain fields in place of the window's edit fields.
class ConsoleTarget : public CommandLineTarget {
  public:
    Action action = Action::None;
    bool threadFailed = false;
    CompileLevel level = CompileLevel::Fast;
    CompileProgress progress;
    CompileTask compile;  // after the progress it reports to: joined before it goes

    void SetCompileFolder(const std::string& text) override { compileFolder_ = text; }
    void SetCompileDestination(const std::string& text) override { compileDestination_ = text; }
    void SetBrowseArchive(const std::string& text) override { browseArchive_ = text; }
    void SetCompileThreads(unsigned count) override { compileThreads_ = count; }

    void Compile() override {
        action = Action::Compile;
        compileArchiveAtAction_ = compileDestination_;
        threadFailed = !compile.Start(
            CompileJob{compileFolder_, compileDestination_, compileThreads_, {}, level}, progress);
    }

    void Browse() override {
        action = Action::Browse;
        browseArchiveAtAction_ = browseArchive_;
    }

    void SecondActionIgnored(const std::string& option) override {
        std::fprintf(stderr, "pelorine: one action per run; '%s' ignored\n", option.c_str());
    }

    const std::string& CompileArchiveAtAction() const { return compileArchiveAtAction_; }
    const std::string& BrowseArchiveAtAction() const { return browseArchiveAtAction_; }

  private:
    std::string compileFolder_;
    std::string compileDestination_;
    std::string browseArchive_;
    unsigned compileThreads_ = 0;
    std::string compileArchiveAtAction_;
    std::string browseArchiveAtAction_;
};

int WaitForCompile(CompileTask& compile, const CompileProgress& progress,
                   const std::string& archivePath) {
    StatusPrinter printer(progress);
    ProgressLine line(stderr, platform::StandardErrorIsTerminal(), progress);
    auto nextStatus = std::chrono::steady_clock::now() + kStatusInterval;
    for (;;) {
        // Asleep until the compile ends, or the progress line or the status is due.
        const auto wake = std::min(nextStatus, line.NextDraw());
        const auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(wake - std::chrono::steady_clock::now());
        if (compile.WaitFor(std::max(wait, std::chrono::milliseconds(0)))) break;
        line.Update();
        if (std::chrono::steady_clock::now() >= nextStatus) {
            // Both may go to one terminal: the status starts on a clean line.
            if (printer.HasNewText()) line.Clear();
            printer.Update();
            nextStatus += kStatusInterval;
        }
    }
    // Even a compile over before the first look shows its figures once.
    line.Update(/*immediately=*/true);
    line.Clear();
    printer.Update();
    if (progress.CompileFailed) {
        std::fprintf(stderr, "pelorine: %s\n", progress.CompileError.Get().c_str());
        return 1;
    }
    std::fprintf(stderr, "pelorine: %u files packed into '%s' (index at byte %u)\n",
                 progress.FilesPacked.load(), archivePath.c_str(), progress.IndexOffset.load());
    const uint32_t unreadable = progress.FilesLeftOut.unreadable;
    const uint32_t tooLarge = progress.FilesLeftOut.tooLarge;
    const uint32_t overCapacity = progress.FilesLeftOut.overCapacity;
    if (unreadable + tooLarge + overCapacity > 0) {
        std::fprintf(stderr,
                     "pelorine: files left out: %u unreadable, %u too large for the archive, "
                     "%u over the limit of %u entries\n",
                     unreadable, tooLarge, overCapacity, kMaxEntries);
    }
    return 0;
}

}  // namespace

int RunConsole(const std::vector<std::string>& arguments) {
    ConsoleTarget target;
    // main() has refused an unusable level before.
    target.level = CompileLevelFrom(arguments).value_or(CompileLevel::Fast);
    WalkCommandLine(arguments, target);
    switch (target.action) {
        case Action::None:
            std::fputs(kUsage, stderr);
            return 2;
        case Action::Compile:
            if (target.threadFailed) {
                std::fprintf(stderr, "pelorine: cannot start the compile thread\n");
                return 1;
            }
            return WaitForCompile(target.compile, target.progress, target.CompileArchiveAtAction());
        case Action::Browse:
            return RunConsoleBrowse(target.BrowseArchiveAtAction(), BrowseOptionsFrom(arguments));
    }
    return 2;
}
