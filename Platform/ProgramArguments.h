// The program's command line.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The arguments after the program's name, in UTF-8. On Windows they are taken
// from the wide command line, as `argv` holds them only in the ANSI code page;
// the console is also set to show UTF-8 output there.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace platform
