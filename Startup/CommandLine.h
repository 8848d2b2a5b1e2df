// The command-line walk, shared by the window and the console: options are
// matched exactly and case-sensitively, left to right, and an action acts the
// moment it is met, with the fields as they are at that point.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "WebServer/BrowseOptions.h"

inline constexpr unsigned kMaxCompileThreads = 256;

// The largest --browse-memory-limit taken, in MiB (1 TiB): beyond any
// machine's memory, and its bytes still fit 64 bits many times over.
inline constexpr uint32_t kMaxBrowseMemoryLimitMiB = uint32_t{1} << 20;

// What the walk drives: the three path fields and the two actions.
class CommandLineTarget {
  public:
    virtual ~CommandLineTarget() = default;
    virtual void SetCompileFolder(const std::string& text) = 0;
    virtual void SetCompileDestination(const std::string& text) = 0;
    virtual void SetBrowseArchive(const std::string& text) = 0;
    // Threads for the compile, from --compile-threads; a target that always
    // uses the default ignores it.
    virtual void SetCompileThreads(unsigned /*count*/) {}
    // As a click on Compile.
    virtual void Compile() = 0;
    // Minimize the window, then as a click on Browse.
    virtual void Browse() = 0;
    // A second action was met: one run performs one action, so it is not run.
    virtual void SecondActionIgnored(const std::string& option) = 0;
};

// Walks `arguments` (without the program name). A value option takes the next
// argument when there is one; that argument is still compared with the
// options on the next pass. Unknown arguments are ignored, and so is a thread
// count that is not a whole number from 1 to kMaxCompileThreads. Only the
// first action met is run.
void WalkCommandLine(const std::vector<std::string>& arguments, CommandLineTarget& target);

// The opt-in options for the server ("--browse-modern" for all of them,
// "--browse-standard-types", "--browse-decode-paths", "--browse-folder-index",
// "--browse-ranges", "--browse-validators", "--browse-head",
// "--browse-status-codes"), and "--browse-memory-limit MIB", a whole number
// from 1 to kMaxBrowseMemoryLimitMiB (ignored otherwise). Unlike the paths
// they count wherever they stand, before or after "--browse".
BrowseOptions BrowseOptionsFrom(const std::vector<std::string>& arguments);
