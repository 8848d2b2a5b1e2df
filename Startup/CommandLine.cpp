#include "Startup/CommandLine.h"

void WalkCommandLine(const std::vector<std::string>& arguments, CommandLineTarget& target) {
    bool actionTaken = false;
    auto runAction = [&](const std::string& option, auto&& action) {
        if (actionTaken) {
            target.SecondActionIgnored(option);
            return;
        }
        actionTaken = true;
        action();
    };
    const size_t count = arguments.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < count;
        if (argument == "--compile") {
            runAction(argument, [&] { target.Compile(); });
        } else if (argument == "--compile-source") {
            if (hasValue) target.SetCompileFolder(arguments[i + 1]);
        } else if (argument == "--compile-archive") {
            if (hasValue) target.SetCompileDestination(arguments[i + 1]);
        } else if (argument == "--browse") {
            runAction(argument, [&] { target.Browse(); });
        } else if (argument == "--browse-archive") {
            if (hasValue) target.SetBrowseArchive(arguments[i + 1]);
        }
    }
}
