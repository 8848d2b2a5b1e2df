// The command line, read once into the settings that the console and the
// window receive: options are matched exactly and case-sensitively, left to
// right, and an action acts the moment it is met, with the fields as they are
// at that point.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Compiler/CompileLevel.h"
#include "WebServer/BrowseOptions.h"

inline constexpr unsigned kMaxCompileThreads = 256;

// The largest --browse-memory-limit taken, in MiB (1 TiB): beyond any
// machine's memory, and its bytes still fit 64 bits many times over.
inline constexpr uint32_t kMaxBrowseMemoryLimitMiB = uint32_t{1} << 20;

// The three path fields and the thread count, as the window shows them.
struct StartupFields {
    std::string CompileFolder;
    std::string CompileDestination;
    std::string BrowseArchive;
    unsigned CompileThreads = 0;  // from --compile-threads; 0: one per core
    // BrowseArchive is a library's folder (--browse-library FOLDER, or a
    // folder in the window's archive field).
    bool BrowseLibrary = false;
};

enum class StartupAction { NoAction, Compile, Browse };

// What the walk met.
struct CommandLineWalk {
    StartupFields Fields;                            // as they stand after the last argument
    StartupAction Action = StartupAction::NoAction;  // the first action met
    StartupFields FieldsAtAction;                    // as they stood when that action was met
    // Actions met after the first: one run performs one action, so these are
    // not run.
    std::vector<std::string> IgnoredActions;
};

// Walks `arguments` (without the program name). A value option takes the next
// argument when there is one; that argument is still compared with the
// options on the next pass. Unknown arguments are ignored, and so is a thread
// count that is not a whole number from 1 to kMaxCompileThreads.
CommandLineWalk WalkCommandLine(const std::vector<std::string>& arguments);

// The opt-in options for the server ("--browse-modern" for all of them,
// "--browse-standard-types", "--browse-decode-paths", "--browse-folder-index",
// "--browse-ranges", "--browse-validators", "--browse-head",
// "--browse-status-codes", "--browse-search", "--browse-reload",
// "--browse-keep-alive", "--browse-compress"), "--browse-memory-limit MIB", a
// whole number from 1 to kMaxBrowseMemoryLimitMiB (ignored otherwise),
// "--browse-url-root PATH" (as UrlRootOf takes it) and "--browse-access-log
// FILE". Unlike the paths they count wherever they stand, before or after
// "--browse"; the last one wins.
BrowseOptions BrowseOptionsFrom(const std::vector<std::string>& arguments);

// Why a browse option's value cannot be taken (a usage error), or "": a root
// that UrlRootOf refuses, or a log or root option without its value.
std::string BrowseValueError(const std::vector<std::string>& arguments);

// The level from "--compile-level fast|best", which, like the browse options,
// counts wherever it stands (the last one given wins); fast when none is
// given. Nothing when a level is missing or is neither word: a usage error.
std::optional<CompileLevel> CompileLevelFrom(const std::vector<std::string>& arguments);

// What counts wherever it stands on the command line, and so goes with
// whichever action a run performs, from the console or from the window's
// Compile and Browse alike: a new opt-in is read into this value, and
// StartupActions hands it to every action, so neither front end changes.
struct ActionSettings {
    CompileLevel Level = CompileLevel::Fast;
    BrowseOptions Browse;
};

// --help or --version, whichever comes first.
enum class InfoRequest { None, Help, Version };

// Everything the program takes from its command line.
struct StartupSettings {
    InfoRequest Info = InfoRequest::None;
    bool LevelUnusable = false;  // a --compile-level without fast or best: a usage error
    std::string BadBrowseValue;  // why a browse option's value is a usage error, or ""
    bool ConsoleAsked = false;   // --console
    CommandLineWalk Walk;
    ActionSettings Actions;  // the level is fast when LevelUnusable
};

// Reads `arguments` (without the program name).
StartupSettings ReadCommandLine(const std::vector<std::string>& arguments);
