#include "Startup/CommandLine.h"

#include <charconv>

#include "WebServer/UrlRoot.h"

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

CommandLineWalk WalkCommandLine(const std::vector<std::string>& arguments) {
    CommandLineWalk walk;
    StartupFields& fields = walk.Fields;
    auto meet = [&](const std::string& option, StartupAction action) {
        if (walk.Action != StartupAction::NoAction) {
            walk.IgnoredActions.push_back(option);
            return;
        }
        walk.Action = action;
        walk.FieldsAtAction = fields;
    };
    const size_t count = arguments.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < count;
        if (argument == "--compile") {
            meet(argument, StartupAction::Compile);
        } else if (argument == "--compile-source") {
            if (hasValue) fields.CompileFolder = arguments[i + 1];
        } else if (argument == "--compile-archive") {
            if (hasValue) fields.CompileDestination = arguments[i + 1];
        } else if (argument == "--compile-threads") {
            const unsigned threads = hasValue ? ThreadCountOf(arguments[i + 1]) : 0;
            if (threads != 0) fields.CompileThreads = threads;
        } else if (argument == "--browse") {
            meet(argument, StartupAction::Browse);
        } else if (argument == "--browse-archive" || argument == "--browse-library") {
            if (hasValue) {
                fields.BrowseArchive = arguments[i + 1];
                fields.BrowseLibrary = argument == "--browse-library";
            }
        }
    }
    return walk;
}

std::optional<CompileLevel> CompileLevelFrom(const std::vector<std::string>& arguments) {
    CompileLevel level = CompileLevel::Fast;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != "--compile-level") continue;
        if (i + 1 == arguments.size()) return std::nullopt;
        const std::optional<CompileLevel> named = CompileLevelNamed(arguments[i + 1]);
        if (!named) return std::nullopt;
        level = *named;
    }
    return level;
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
        if (argument == "--browse-reload") options.Reload = true;
        if (argument == "--browse-keep-alive") options.KeepAlive = true;
        if (argument == "--browse-compress") options.Compress = true;
        const bool valueFollows = i + 1 < arguments.size();
        if (argument == "--browse-url-root" && valueFollows) {
            if (const auto root = UrlRootOf(arguments[i + 1])) options.UrlRoot = *root;
        }
        if (argument == "--browse-access-log" && valueFollows && !arguments[i + 1].empty()) {
            options.AccessLogPath = arguments[i + 1];
        }
        if (argument == "--browse-memory-limit" && i + 1 < arguments.size()) {
            const uint32_t mib = MebibytesOf(arguments[i + 1]);
            if (mib != 0) options.MemoryLimitMiB = mib;
        }
    }
    return options;
}

std::string BrowseValueError(const std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const bool valueFollows = i + 1 < arguments.size();
        if (arguments[i] == "--browse-url-root" &&
            (!valueFollows || !UrlRootOf(arguments[i + 1]))) {
            return "--browse-url-root takes a path such as /docs, without .., % or spaces";
        }
        if (arguments[i] == "--browse-access-log" && (!valueFollows || arguments[i + 1].empty())) {
            return "--browse-access-log takes a file, or - for standard output";
        }
    }
    return {};
}

StartupSettings ReadCommandLine(const std::vector<std::string>& arguments) {
    StartupSettings settings;
    for (const std::string& argument : arguments) {
        if (settings.Info == InfoRequest::None && argument == "--help") {
            settings.Info = InfoRequest::Help;
        }
        if (settings.Info == InfoRequest::None && argument == "--version") {
            settings.Info = InfoRequest::Version;
        }
        if (argument == "--console") settings.ConsoleAsked = true;
    }
    const std::optional<CompileLevel> level = CompileLevelFrom(arguments);
    settings.LevelUnusable = !level;
    settings.BadBrowseValue = BrowseValueError(arguments);
    settings.Walk = WalkCommandLine(arguments);
    settings.Actions =
        ActionSettings{level.value_or(CompileLevel::Fast), BrowseOptionsFrom(arguments)};
    return settings;
}
