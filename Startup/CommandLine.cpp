#include "Startup/CommandLine.h"

#include <charconv>

namespace {

// A count from 1 to kMaxCompileThreads written in decimal digits only; 0 otherwise.
unsigned ThreadCountOf(const std::string& text) {
    unsigned count = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, count);
    if (error != std::errc() || stop != end || count > kMaxCompileThreads) return 0;
    return count;
}

// A count of MiB from 1 to kMaxBrowseMemoryLimitMiB in decimal digits only;
// 0 otherwise.
uint32_t MebibytesOf(const std::string& text) {
    uint32_t mib = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, mib);
    if (error != std::errc() || stop != end || mib > kMaxBrowseMemoryLimitMiB) return 0;
    return mib;
}

}  // namespace

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
        } else if (argument == "--compile-threads") {
            const unsigned count = hasValue ? ThreadCountOf(arguments[i + 1]) : 0;
            if (count != 0) target.SetCompileThreads(count);
        } else if (argument == "--browse") {
            runAction(argument, [&] { target.Browse(); });
        } else if (argument == "--browse-archive") {
            if (hasValue) target.SetBrowseArchive(arguments[i + 1]);
        }
    }
}

BrowseOptions BrowseOptionsFrom(const std::vector<std::string>& arguments) {
    BrowseOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--browse-modern") options.TurnOnEveryOptIn();
        if (argument == "--browse-standard-types") options.StandardTypes = true;
        if (argument == "--browse-decode-paths") options.DecodePaths = true;
        if (argument == "--browse-folder-index") options.FolderIndex = true;
        if (argument == "--browse-ranges") options.Ranges = true;
        if (argument == "--browse-validators") options.Validators = true;
        if (argument == "--browse-head") options.Head = true;
        if (argument == "--browse-status-codes") options.StatusCodes = true;
        if (argument == "--browse-search") options.Search = true;
        if (argument == "--browse-memory-limit" && i + 1 < arguments.size()) {
            const uint32_t mib = MebibytesOf(arguments[i + 1]);
            if (mib != 0) options.MemoryLimitMiB = mib;
        }
    }
    return options;
}
