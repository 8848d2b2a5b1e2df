// The command-line walk, shared by the window and the console: options are
// matched exactly and case-sensitively, left to right, and an action acts the
// moment it is met, with the fields as they are at that point.
#pragma once

#include <string>
#include <vector>

// What the walk drives: the three path fields and the two actions.
class CommandLineTarget {
  public:
    virtual ~CommandLineTarget() = default;
    virtual void SetCompileFolder(const std::string& text) = 0;
    virtual void SetCompileDestination(const std::string& text) = 0;
    virtual void SetBrowseArchive(const std::string& text) = 0;
    // As a click on Compile.
    virtual void Compile() = 0;
    // Minimize the window, then as a click on Browse.
    virtual void Browse() = 0;
    // A second action was met: one run performs one action, so it is not run.
    virtual void SecondActionIgnored(const std::string& option) = 0;
};

// Walks `arguments` (without the program name). A value option takes the next
// argument when there is one; that argument is still compared with the
// options on the next pass. Unknown arguments are ignored. Only the first
// action met is run.
void WalkCommandLine(const std::vector<std::string>& arguments, CommandLineTarget& target);
