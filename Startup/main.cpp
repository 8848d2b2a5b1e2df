#include <string>
#include <vector>

#include "Startup/Console.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return RunConsole(arguments);
}
