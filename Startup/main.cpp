#include <algorithm>
#include <string>
#include <vector>

#include "Platform/ProgramArguments.h"
#include "Platform/ResourceLimits.h"
#include "Startup/Console.h"
#include "Startup/ProgramInfo.h"
#ifdef PELORINE_WINDOW
#include "Startup/WindowModule.h"
#endif

int main(int argc, char** argv) {
    // One descriptor per connection: serve as many as the system allows.
    platform::RaiseDescriptorLimit();
    const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
    // Before any window: --help and --version need no display.
    if (const auto status = AnswerInfoOption(arguments)) return *status;
    if (const auto status = RefuseUsageError(arguments)) return *status;
#ifdef PELORINE_WINDOW
    // The window wherever a display exists, unless the console is asked for.
    const bool consoleAsked =
        std::find(arguments.begin(), arguments.end(), "--console") != arguments.end();
    if (!consoleAsked && RunWindowWhereDisplayed(arguments)) return 0;
#endif
    return RunConsole(arguments);
}
