// The archive tool's command line: a command and its operands.
#pragma once

#include <string>
#include <vector>

enum class ToolCommand { Help, Version, List, Cat, Extract, Verify, Search, Invalid };

struct ToolInvocation {
    ToolCommand Command = ToolCommand::Invalid;
    std::string Archive;
    std::string Name;    // cat
    std::string Folder;  // extract
    std::string Words;   // search: its operands after the archive, joined by spaces
    bool Overwrite = false;
    std::string Error;  // why the command line is Invalid
};

// Reads the arguments after the program's name. "--help" or "--version"
// anywhere wins; "--" ends the options, so that operands may start with "-".
ToolInvocation ParseToolCommandLine(const std::vector<std::string>& arguments);

// The usage text printed by --help and after a usage error.
const char* ToolUsage();
