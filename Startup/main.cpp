#include "Platform/ProgramArguments.h"
#include "Platform/ResourceLimits.h"
#include "Startup/CommandLine.h"
#include "Startup/Console.h"
#include "Startup/ProgramInfo.h"
#ifdef PELORINE_WINDOW
#include "Startup/WindowModule.h"
#endif

int main(int argc, char** argv) {
    // One descriptor per connection: serve as many as the system allows.
    platform::RaiseDescriptorLimit();
    const StartupSettings settings = ReadCommandLine(platform::ProgramArguments(argc, argv));
    // Before any window: --help and --version need no display.
    if (const auto status = AnswerInfoOption(settings)) return *status;
    if (const auto status = RefuseUsageError(settings)) return *status;
#ifdef PELORINE_WINDOW
    // The window wherever a display exists, unless the console is asked for.
    if (!settings.ConsoleAsked && RunWindowWhereDisplayed(settings)) return 0;
#endif
    return RunConsole(settings);
}
