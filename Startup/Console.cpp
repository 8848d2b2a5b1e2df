#include "Startup/Console.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "Compiler/Progress.h"
#include "Platform/Terminal.h"
#include "Shared/ArchiveLayout.h"
#include "Startup/CommandLine.h"
#include "Startup/ConsoleBrowse.h"
#include "Startup/ProgramInfo.h"
#include "Startup/ProgressLine.h"
#include "Startup/StartupActions.h"
#include "Startup/StatusText.h"

namespace {

// How often the status is looked at, like the window's clock.
constexpr auto kStatusInterval = std::chrono::seconds(1);

int WaitForCompile(StartupActions& actions, const std::string& archivePath) {
    const CompileProgress& progress = actions.CompileStatus();
    StatusPrinter printer(progress, actions.ServerStatus());
    ProgressLine line(stderr, platform::StandardErrorIsTerminal(), progress);
    auto nextStatus = std::chrono::steady_clock::now() + kStatusInterval;
    for (;;) {
        // Asleep until the compile ends, or the progress line or the status is due.
        const auto wake = std::min(nextStatus, line.NextDraw());
        const auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(wake - std::chrono::steady_clock::now());
        if (actions.WaitForCompile(std::max(wait, std::chrono::milliseconds(0)))) break;
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

int RunConsole(const StartupSettings& settings) {
    const CommandLineWalk& walk = settings.Walk;
    for (const std::string& option : walk.IgnoredActions) {
        std::fprintf(stderr, "pelorine: one action per run; '%s' ignored\n", option.c_str());
    }
    StartupActions actions(settings.Actions);
    switch (walk.Action) {
        case StartupAction::NoAction:
            std::fputs(kUsage, stderr);
            return 2;
        case StartupAction::Compile:
            if (const std::string error = actions.Compile(walk.FieldsAtAction); !error.empty()) {
                std::fprintf(stderr, "pelorine: %s\n", error.c_str());
                return 1;
            }
            return WaitForCompile(actions, walk.FieldsAtAction.CompileDestination);
        case StartupAction::Browse:
            return RunConsoleBrowse(actions, walk.FieldsAtAction);
    }
    return 2;
}
